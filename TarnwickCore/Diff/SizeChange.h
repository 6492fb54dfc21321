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

  /// after - before, an absent side counting 0 (saturatedDifference).
  std::int64_t difference() const { return saturatedDifference(after.value_or(0), before.value_or(0)); }

  /// `later - earlier` held within ±INT64_MAX rather than overflowing, so
  /// that it can always be negated.
  static std::int64_t saturatedDifference(std::int64_t later, std::int64_t earlier) {
    std::int64_t difference = 0;
    if (__builtin_sub_overflow(later, earlier, &difference))
      return later > earlier ? INT64_MAX : -INT64_MAX;
    return difference == INT64_MIN ? -INT64_MAX : difference;
  }
  /// |bytes|, which for INT64_MIN is only held by an unsigned type.
  static std::uint64_t magnitude(std::int64_t bytes) {
    return bytes < 0 ? 0 - static_cast<std::uint64_t>(bytes) : static_cast<std::uint64_t>(bytes);
  }

  friend bool operator==(const SizeChange &, const SizeChange &) = default;
};

} // namespace tarnwick
