#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tarnwick {

/// One entry whose size differs between two scans of the same folder, as
/// TreeComparison lists them. Sizes are allocated bytes (the blocks on disk,
/// a folder's with everything below it), as the scans measured them.
///
/// Threads: a plain value.
struct SizeChange {
  /// Where the entry is under the newer scan's root; a gone entry's path is
  /// where it would be there, its place under the older root rebased.
  std::string path;
  /// Absent for an entry the older scan did not have.
  std::optional<std::int64_t> before;
  /// Absent for an entry the newer scan no longer has.
  std::optional<std::int64_t> after;
  bool isDirectory = false;

  /// after - before, an absent side counting 0.
  std::int64_t difference() const { return after.value_or(0) - before.value_or(0); }

  friend bool operator==(const SizeChange &, const SizeChange &) = default;
};

} // namespace tarnwick
