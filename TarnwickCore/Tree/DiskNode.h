#pragma once

#include "TarnwickCore/Catalogue/CleanableCategory.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

/// A node identifier: the node's index in its arena's table. The root is 0;
/// identifiers follow breadth-first order; negative identifiers name no node.
using NodeID = std::int32_t;

/// A self-contained copy of one node of a DiskTreeArena, as handed out by the
/// arena's queries. Sizes are bytes allocated on disk; counts are of the
/// subtree after aggregation.
struct DiskNode {
  NodeID id = 0;
  std::optional<NodeID> parentID;
  /// The entry's own name, byte for byte as the directory listing returned it.
  std::string name;
  /// Full path: the parent's path joined with `name` by one '/'.
  std::string path;
  bool isDirectory = false;
  bool isPackage = false;
  std::int64_t allocatedSize = 0;
  /// Files in the subtree; 1 for a file.
  std::int64_t fileCount = 0;
  /// Directories strictly below this node.
  std::int64_t directoryCount = 0;
  /// Content modification time, seconds since 1970-01-01 UTC; 0 when unknown.
  double modificationTimestamp = 0;
  std::optional<CleanableCategory> categoryHint;
  /// Direct children, ascending (the listing's order).
  std::vector<NodeID> childIDs;

  friend bool operator==(const DiskNode &, const DiskNode &) = default;
};

} // namespace tarnwick
