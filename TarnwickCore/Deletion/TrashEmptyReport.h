#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tarnwick {

/// Reported before each item of an emptying is removed.
struct TrashEmptyProgress {
  std::size_t doneCount = 0; // items finished so far
  std::size_t totalCount = 0;
  std::int64_t freedBytes = 0; // by the items finished so far
  std::int64_t totalBytes = 0; // of all the items, as listed
  std::string currentPath;     // the entry (or record) being removed
};

/// What emptying the Trash did.
struct TrashEmptyReport {
  /// What went: the entries removed completely, and the part that went of
  /// those removed in part, hard links settled across the items.
  std::int64_t freedBytes = 0;
  /// Items whose entry and record are both gone now.
  std::size_t removedCount = 0;
  /// Items found gone already (restored or emptied by another program).
  std::size_t goneCount = 0;
  /// An item's entry or record path → why it could not go; what is left
  /// keeps its record, so it stays listed.
  std::vector<std::pair<std::string, std::string>> failures;
  /// Stopped before every item was reached.
  bool cancelled = false;
};

} // namespace tarnwick
