#include "TarnwickCore/TempTreeNode.h"

#include "TarnwickCore/PathJoin.h"

#include <vector>

namespace tarnwick {

void TempTreeNode::adoptChildren(std::span<TempTreeNode> block) {
  childBlock = block.data();
  childCount = static_cast<std::uint32_t>(block.size());
  for (TempTreeNode &child : block)
    child.parent = this;
}

std::string TempTreeNode::path(std::string_view rootPath) const {
  std::vector<const TempTreeNode *> chain;
  for (const TempTreeNode *node = this; node->parent; node = node->parent)
    chain.push_back(node);
  std::string result(rootPath);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it)
    appendPathComponent(result, (*it)->name());
  return result;
}

void TempTreeNode::aggregate() {
  // Breadth-first order puts every node after its parent, so walking it
  // backwards folds each finished subtree into its parent exactly once.
  std::vector<TempTreeNode *> order{this};
  for (std::size_t i = 0; i < order.size(); ++i)
    for (TempTreeNode &child : order[i]->children())
      order.push_back(&child);
  for (std::size_t i = order.size(); i-- > 1;) {
    TempTreeNode &node = *order[i];
    TempTreeNode &parent = *node.parent;
    parent.allocatedSize += node.allocatedSize;
    parent.fileCount += node.fileCount;
    parent.directoryCount += node.directoryCount + (node.isDirectory ? 1 : 0);
  }
}

} // namespace tarnwick
