#pragma once

#include "TarnwickCore/Diff/SizeChange.h"
#include "TarnwickCore/Tree/DiskTreeArena.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <vector>

namespace tarnwick {

/// What changed between two scans of one folder: an older and a newer
/// frozen tree, matched by path.
///
/// Matching: the two roots are each other's, whatever their paths (a scan of
/// /srv/x on a server compares with its export opened elsewhere); below them
/// an entry matches the entry of the same name, byte for byte, in the
/// matched folder. Only two folders' entries are matched further down, so
/// a file that became a folder is one changed entry, and what the older
/// folder held is gone. Two entries of one folder with the same name (which
/// a scan never makes) are paired in identifier order. A renamed entry is
/// one gone and one new.
///
/// Sizes are allocated bytes, the blocks on disk the explorer shows, a
/// folder's with all below it: a folder's change is the sum of its
/// descendants' and its own.
///
/// Cost: linear in the two trees besides sorting each folder's names;
/// memory 4 bytes per newer node and 1 bit per older node, plus copies of
/// the two arenas, which share their storage with the given ones.
///
/// Threads: built on any thread; a finished comparison is never modified
/// and may be read concurrently.
class TreeComparison {
public:
  enum class Change : std::uint8_t { unchanged, grown, shrunk, added, gone };

  /// Matches `newer` against `older`; nothing when `stop` was requested
  /// before it finished (it is checked every few thousand nodes).
  static std::optional<TreeComparison> compare(const DiskTreeArena &older, const DiskTreeArena &newer,
                                               std::stop_token stop = {});

  const DiskTreeArena &older() const { return older_; }
  const DiskTreeArena &newer() const { return newer_; }

  /// The size in the older tree of the newer tree's node `newerID`, or
  /// nothing when the node is new (or not a node of the newer tree). O(1).
  std::optional<std::int64_t> olderSize(NodeID newerID) const;
  /// The matching node of the older tree, or -1.
  NodeID olderMatch(NodeID newerID) const;
  /// How the newer tree's node `newerID` changed (never `gone`).
  Change change(NodeID newerID) const;

  /// Newer root's size minus older root's.
  std::int64_t totalDifference() const;

  /// At most `limit` changed entries of both trees (grown, shrunk, new or
  /// gone; folders with their descendants alike), largest absolute
  /// difference first, equal ones by path. Paths are built for the rows
  /// returned only; the walk holds 16 bytes per changed entry meanwhile.
  std::vector<SizeChange> largestChanges(std::size_t limit) const;

private:
  TreeComparison(DiskTreeArena older, DiskTreeArena newer);

  bool match(std::stop_token stop);
  void matchChildren(NodeID olderFolder, NodeID newerFolder, std::vector<NodeID> &olderNames,
                     std::vector<NodeID> &newerNames);
  std::string newerPathOfOlder(NodeID olderID) const;

  DiskTreeArena older_;
  DiskTreeArena newer_;
  /// By newer identifier: the older node it matches, or -1.
  std::vector<NodeID> olderOfNewer_;
  /// By older identifier: whether a newer node matches it.
  std::vector<bool> olderMatched_;
};

} // namespace tarnwick
