#pragma once

#include "TarnwickCore/Tree/DiskTreeArena.h"

#include <cstddef>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

/// What a name search found: the first matches in identifier order (so
/// shallower nodes first) and how many there were in all.
struct NameSearchResult {
  std::vector<NodeID> matches;
  std::size_t matchCount = 0;
  /// The search was stopped before it looked at every node.
  bool stopped = false;
};

/// Finds nodes by name, ignoring case. A pattern holding '*' or '?' is a
/// glob matched against the whole name ('*' any run of characters, '?' one
/// character; nothing else is special); any other pattern matches names
/// that contain it. Case is folded for ASCII and for the Latin-1, Latin
/// Extended-A, Greek and Cyrillic letters; other bytes compare as they are,
/// so names that are not UTF-8 still match byte for byte.
class NameSearch {
public:
  explicit NameSearch(std::string_view pattern);

  bool matches(std::string_view name) const;
  bool isEmpty() const { return folded_.empty(); }

  /// Every valid node of `arena` but the root whose name matches, keeping
  /// the first `limit` in `matches`. An empty pattern finds nothing.
  /// Checks `stop` every 1,024 nodes. Cost: one pass over the table
  /// and its names, no disk access. Threads: reads `arena` only.
  NameSearchResult findIn(const DiskTreeArena &arena, std::size_t limit, std::stop_token stop = {}) const;

private:
  std::string folded_;
  bool isGlob_ = false;
};

} // namespace tarnwick
