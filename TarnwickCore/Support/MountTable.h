#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

/// One line of /proc/self/mountinfo.
struct MountEntry {
  std::uint64_t mountId = 0;
  std::uint64_t parentId = 0;
  /// The device numbers as the kernel prints them ("major:minor").
  unsigned major = 0;
  unsigned minor = 0;
  /// Which folder of its file system the mount shows: "/" for a whole file
  /// system, the bound folder for a bind mount. Decoded like mountPoint.
  std::string root;
  /// Where the mount is attached, as seen from this process's root, with
  /// the kernel's octal escapes ("\040" for a space) decoded.
  std::string mountPoint;
  std::string fileSystemType;
  /// For a union mount (overlay): the folders it merges, upper then lower,
  /// as the kernel reports them. Files seen through the mount are those
  /// folders' files under another name.
  std::vector<std::string> layers;
};

/// Where a file lies inside its file system, whatever mount shows it: the
/// device and the path from that file system's own root. Two names of one
/// folder (a bind mount, a second mount of the same file system) have the
/// same location, and a folder holds another exactly when, on the same
/// device, its path is a prefix of the other's.
struct FileSystemLocation {
  unsigned major = 0;
  unsigned minor = 0;
  std::string path; // absolute, "/" for the file system's root

  /// Whether this location is `other` or lies inside it.
  bool isAtOrInside(const FileSystemLocation &other) const;

  friend bool operator==(const FileSystemLocation &, const FileSystemLocation &) = default;
};

/// A snapshot of the mounts this process sees. Mounts come and go at any
/// time, so callers that act on the answer still check identities when
/// they act (statx's mount id, st_dev).
///
/// Threads: an immutable value once built.
class MountTable {
public:
  /// Reads /proc/self/mountinfo; nothing when it cannot be read (no /proc).
  static std::optional<MountTable> readCurrent();
  /// Parses mountinfo text; malformed lines are skipped.
  static MountTable parse(std::string_view text);

  const std::vector<MountEntry> &entries() const { return entries_; }
  const MountEntry *byId(std::uint64_t mountId) const;

  /// The mount point that is `path` or lies below it, the shallowest first;
  /// nothing when there is none. `path` must be absolute and free of links,
  /// "." and "..": it is compared as a string with the mount points.
  std::optional<std::string> mountPointAtOrBelow(std::string_view path) const;

  /// Where `realPath` lies in its file system, through the mount that shows
  /// it: the mount `mountId` (statx's STATX_MNT_ID of the path) when given,
  /// which is right however mounts are stacked; else the deepest mount
  /// point at or above it, the last one listed there. Nothing when that
  /// mount is not in the table (mounts changed since it was read) or does
  /// not hold the path. Same requirements on `realPath` as above.
  std::optional<FileSystemLocation> locate(std::string_view realPath, std::uint64_t mountId = 0) const;

  /// Every place the file at `realPath` has: where it lies, and for a path
  /// inside a union mount, the same path in each of the mount's layers
  /// (where those lie in turn, a few levels and at most 64 places). Empty
  /// when it cannot be located.
  std::vector<FileSystemLocation> placesOf(std::string_view realPath, std::uint64_t mountId = 0) const;

private:
  /// The mount `path` lies in: the deepest mount point at or above it, the
  /// last one mounted there when several are.
  const MountEntry *containing(std::string_view path) const;
  void addPlaces(std::string_view realPath, const MountEntry *mount, int depth,
                 std::vector<FileSystemLocation> &places) const;

  std::vector<MountEntry> entries_;
};

} // namespace tarnwick
