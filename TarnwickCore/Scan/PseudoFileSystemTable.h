#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace tarnwick {

/// The devices of the mounted pseudo file systems (proc, sysfs, devtmpfs,
/// cgroup, …). The scanner keeps their mount points as empty directories
/// instead of reading kernel-generated contents.
///
/// Threads: immutable after construction.
class PseudoFileSystemTable {
public:
  PseudoFileSystemTable() = default;

  /// Reads /proc/self/mountinfo; empty when it cannot be read.
  static PseudoFileSystemTable fromCurrentMounts();
  /// Parses mountinfo text (one mount per line).
  static PseudoFileSystemTable fromMountInfo(std::string_view text);

  static bool isPseudoType(std::string_view fileSystemType);

  /// `device` is major and minor combined as by makedev().
  bool contains(std::int64_t device) const;
  bool empty() const { return devices_.empty(); }

private:
  std::vector<std::int64_t> devices_; // sorted, unique
};

} // namespace tarnwick
