#pragma once

#include "TarnwickCore/Tree/ChildBlockWalk.h"
#include "TarnwickCore/Tree/SharedLinkTable.h"

#include <cstdint>
#include <vector>

namespace tarnwick {

/// A file node that shares its inode with other names, as a walker met it.
struct LinkedFile {
  std::int64_t device = 0;
  std::uint64_t inode = 0;
  /// The file's allocated size, before any de-duplication.
  std::int64_t size = 0;
  /// Its link count as read; 0 when the source does not know it.
  std::uint64_t linkCount = 0;
  TempTreeNode *node = nullptr;
};

/// Gives each inode's size to the one of its names that comes first in
/// breadth-first order (the lowest identifier the freeze will assign) and 0
/// to the others, so the result does not depend on which walker got there
/// first. `blocks` is childBlocksBreadthFirst() of the tree holding every
/// node in `files`; run before aggregation.
///
/// Returns the table of the files met under more than one name or with a
/// link count above 1, ordered by device and inode, their names identified
/// as the freeze will number them. A file whose link count is unknown is
/// taken to have just the names met.
SharedLinkTable resolveHardLinks(const std::vector<ChildBlock> &blocks, std::vector<LinkedFile> files);

} // namespace tarnwick
