#pragma once

#include <string>
#include <string_view>
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
  /// The scanned folder's path below the folder the path patterns were
  /// written for: "" when the scan starts there, "src/a" when ROOT/src/a is
  /// scanned alone, so that "src/*/build" still means ROOT/src/a/build.
  std::string excludesBase;

  /// This scope for a scan of `folder` alone, its path patterns written
  /// for a scan of `root` (both absolute paths, as the tree spells them).
  /// A folder not below `root` gets the patterns as they are.
  ScanScope forFolder(std::string_view root, std::string_view folder) const;

  friend bool operator==(const ScanScope &, const ScanScope &) = default;
};

} // namespace tarnwick
