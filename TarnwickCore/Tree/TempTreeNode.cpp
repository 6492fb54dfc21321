#include "TarnwickCore/Tree/TempTreeNode.h"

#include "TarnwickCore/Tree/ChildBlockWalk.h"

namespace tarnwick {

void TempTreeNode::adoptChildren(std::span<TempTreeNode> block) {
  childBlock = block.data();
  childCount = static_cast<std::uint32_t>(block.size());
}

void TempTreeNode::aggregate() {
  // Blocks in breadth-first order come after the block holding their
  // parent, so walking the list backwards folds each finished subtree into
  // its parent exactly once.
  aggregateBlocks(childBlocksBreadthFirst(*this));
}

} // namespace tarnwick
