#pragma once

#include "TarnwickCore/Tree/ChildBlockWalk.h"

#include <cstdint>
#include <vector>

namespace tarnwick {

/// A file node that shares its inode with other names, as a walker met it.
struct LinkedFile {
  std::int64_t device = 0;
  std::uint64_t inode = 0;
  /// The file's allocated size, before any de-duplication.
  std::int64_t size = 0;
  TempTreeNode *node = nullptr;
};

/// Gives each inode's size to the one of its names that comes first in
/// breadth-first order (the lowest identifier the freeze will assign) and 0
/// to the others, so the result does not depend on which walker got there
/// first. `blocks` is childBlocksBreadthFirst() of the tree holding every
/// node in `files`; run before aggregation.
void resolveHardLinks(const std::vector<ChildBlock> &blocks, std::vector<LinkedFile> files);

} // namespace tarnwick
