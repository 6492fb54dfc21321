#pragma once

#include "TarnwickCore/TempTreeNode.h"

#include <span>
#include <vector>

namespace tarnwick {

/// One directory's children, with the directory they belong to.
struct ChildBlock {
  TempTreeNode *parent = nullptr;
  std::span<TempTreeNode> children;
};

/// Every non-empty child block below `root`, breadth-first: the block of a
/// directory comes after the block that holds the directory. One entry per
/// directory with children, so a walk needs no per-node bookkeeping.
inline std::vector<ChildBlock> childBlocksBreadthFirst(const TempTreeNode &root) {
  std::vector<ChildBlock> blocks;
  auto *mutableRoot = const_cast<TempTreeNode *>(&root);
  if (root.childCount > 0)
    blocks.push_back({mutableRoot, mutableRoot->children()});
  for (std::size_t i = 0; i < blocks.size(); ++i)
    for (TempTreeNode &child : blocks[i].children)
      if (child.childCount > 0)
        blocks.push_back({&child, child.children()});
  return blocks;
}

} // namespace tarnwick
