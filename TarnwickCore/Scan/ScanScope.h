#pragma once

#include <string>
#include <vector>

namespace tarnwick {

/// What a scan leaves out beside the pseudo file systems it never reads.
///
/// Threads: a plain value.
struct ScanScope {
  /// Mount points below the root are not entered: the scan stays on the
  /// root's file system (its device, as `du -x` and `find -xdev` decide,
  /// so a bind mount of a folder of the same file system is entered).
  bool oneFileSystem = false;
  /// Also enter network file systems and read-only images mounted below
  /// the root; without it they are left out, the root's own file system
  /// excepted (scanning a network share by name scans it).
  bool includeRemote = false;
  /// Patterns of entries to leave out; see ExcludeMatcher for their syntax.
  std::vector<std::string> excludes;

  friend bool operator==(const ScanScope &, const ScanScope &) = default;
};

} // namespace tarnwick
