#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

class MountTable;

/// What kind of file system a mount holds, as far as scanning goes.
enum class MountKind : std::uint8_t {
  /// Local storage: scanned.
  ordinary,
  /// Kernel-generated contents (proc, sysfs, cgroup, …): never read.
  pseudo,
  /// Over the network (nfs, cifs, sshfs and other remote FUSE mounts):
  /// slow or hanging, and not this machine's disk.
  remote,
  /// A read-only image (squashfs, iso9660, …): a snap or a disc, whose
  /// contents are already counted as the image file.
  image,
};

/// The kind of file system behind each mounted device, from the mount
/// table. The scanner keeps pseudo file systems' mount points as empty
/// folders instead of reading kernel-generated contents, and by default
/// does not enter remote file systems or images.
///
/// Threads: immutable after construction.
class PseudoFileSystemTable {
public:
  struct Mount {
    std::int64_t device = 0; // major and minor combined as by makedev()
    MountKind kind = MountKind::ordinary;
    std::string fileSystemType;
  };

  PseudoFileSystemTable() = default;

  /// Reads /proc/self/mountinfo; empty when it cannot be read.
  static PseudoFileSystemTable fromCurrentMounts();
  /// Parses mountinfo text (one mount per line).
  static PseudoFileSystemTable fromMountInfo(std::string_view text);
  static PseudoFileSystemTable fromMountTable(const MountTable &mounts);

  static bool isPseudoType(std::string_view fileSystemType);
  /// The kind of a mount table's type name ("nfs4", "fuse.sshfs").
  static MountKind kindOfType(std::string_view fileSystemType);
  /// What statfs's f_type tells: the kind and a type name, for the file
  /// systems the kind can be told from; nothing for the others (plain
  /// "fuse" among them, whose kind depends on its daemon).
  static std::optional<Mount> fromMagic(std::int64_t device, long magic);

  /// Whether `device` holds a pseudo file system.
  bool contains(std::int64_t device) const;
  /// The mount of `device`; null when no mount of the table has it (a file
  /// system mounted since the table was read, a btrfs subvolume).
  const Mount *find(std::int64_t device) const;
  bool empty() const { return mounts_.empty(); }

private:
  std::vector<Mount> mounts_; // sorted by device, unique
};

} // namespace tarnwick
