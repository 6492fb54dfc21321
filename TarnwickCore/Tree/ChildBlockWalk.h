#pragma once

#include "TarnwickCore/Tree/DiskNode.h"
#include "TarnwickCore/Tree/TempTreeNode.h"

#include <cstdint>
#include <span>
#include <vector>

namespace tarnwick {

/// One directory's children, with where they land in a breadth-first
/// numbering of the whole tree.
struct ChildBlock {
  TempTreeNode *parent = nullptr;
  std::span<TempTreeNode> children;
  /// Identifier of `parent` and of the first child.
  NodeID parentID = 0;
  NodeID firstID = 0;
  /// Index of the first block whose parent is one of these children.
  std::uint32_t firstChildBlock = 0;
  /// How many nodes before the first child are folders (isFolderNode): the
  /// index of the first of these children's folder entries in the frozen
  /// tree.
  std::uint32_t firstFolder = 0;
  /// Offset of the first child's name in a pool holding every name in
  /// identifier order, the root's first.
  std::uint64_t nameOffset = 0;
};

/// Whether a node of the temporary tree gets a folder entry when frozen.
inline bool isFolderNode(const TempTreeNode &node) { return node.isDirectory || node.childCount > 0; }

/// Every non-empty child block below `root`, breadth-first: the block of a
/// directory comes after the block that holds the directory, and a block's
/// children are numbered right after everything queued before them. One
/// entry per directory with children, so no per-node bookkeeping.
/// `expectedBlocks`, when known (the walkers count them), is reserved up
/// front so the list is never copied while it grows.
inline std::vector<ChildBlock> childBlocksBreadthFirst(const TempTreeNode &root, std::size_t expectedBlocks = 0) {
  std::vector<ChildBlock> blocks;
  blocks.reserve(expectedBlocks);
  auto *mutableRoot = const_cast<TempTreeNode *>(&root);
  if (root.childCount > 0)
    blocks.push_back({mutableRoot, mutableRoot->children(), 0, 1, 1, isFolderNode(root) ? 1u : 0u, root.nameLength});
  NodeID nextID = 1 + static_cast<NodeID>(root.childCount);
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    blocks[i].firstChildBlock = static_cast<std::uint32_t>(blocks.size());
    std::uint64_t nameEnd = blocks[i].nameOffset;
    std::uint32_t folderEnd = blocks[i].firstFolder;
    for (std::size_t k = 0; k < blocks[i].children.size(); ++k) {
      TempTreeNode &child = blocks[i].children[k];
      nameEnd += child.nameLength;
      folderEnd += isFolderNode(child) ? 1 : 0;
      if (child.childCount == 0)
        continue;
      blocks.push_back({&child, child.children(), blocks[i].firstID + static_cast<NodeID>(k), nextID, 0, 0, 0});
      nextID += static_cast<NodeID>(child.childCount);
    }
    // Names and folder entries follow identifier order, which is block
    // order.
    if (i + 1 < blocks.size()) {
      blocks[i + 1].nameOffset = nameEnd;
      blocks[i + 1].firstFolder = folderEnd;
    }
  }
  return blocks;
}

/// Folds the sizes of every block into its parent, deepest blocks first;
/// `blocks` is childBlocksBreadthFirst() of the tree.
inline void aggregateBlocks(const std::vector<ChildBlock> &blocks) {
  for (auto block = blocks.rbegin(); block != blocks.rend(); ++block) {
    TempTreeNode &parent = *block->parent;
    for (const TempTreeNode &child : block->children)
      parent.allocatedSize += child.allocatedSize;
  }
}

} // namespace tarnwick
