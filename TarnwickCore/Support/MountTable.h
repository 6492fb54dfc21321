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

  /// `realPath` as named without bind mounts: when it lies inside a mount
  /// that shows only a folder of its file system, the same file through a
  /// mount of that whole file system ("/"), if one is visible. Nothing when
  /// `realPath` is not inside such a mount, or the file system shows
  /// nowhere else. Same requirements on `realPath` as above.
  std::optional<std::string> unboundPath(std::string_view realPath) const;

private:
  /// The mount `path` lies in: the deepest mount point at or above it, the
  /// last one mounted there when several are.
  const MountEntry *containing(std::string_view path) const;

  std::vector<MountEntry> entries_;
};

} // namespace tarnwick
