#include "TarnwickCore/Scan/HardLinkResolution.h"

#include <algorithm>
#include <functional>
#include <tuple>

namespace tarnwick {

void resolveHardLinks(const std::vector<ChildBlock> &blocks, std::vector<LinkedFile> files) {
  if (files.empty())
    return;
  // Blocks by address, to find the identifier of a node from its pointer.
  std::vector<const ChildBlock *> byAddress;
  byAddress.reserve(blocks.size());
  for (const ChildBlock &block : blocks)
    byAddress.push_back(&block);
  auto begins = [](const ChildBlock *block) { return block->children.data(); };
  std::sort(byAddress.begin(), byAddress.end(),
            [&](const ChildBlock *a, const ChildBlock *b) { return std::less<>{}(begins(a), begins(b)); });
  auto identifierOf = [&](const TempTreeNode *node) {
    auto after = std::upper_bound(byAddress.begin(), byAddress.end(), node,
                                  [&](const TempTreeNode *n, const ChildBlock *b) { return std::less<>{}(n, begins(b)); });
    const ChildBlock &block = **(after - 1);
    return block.firstID + static_cast<NodeID>(node - block.children.data());
  };

  struct Ranked {
    const LinkedFile *file;
    NodeID id;
  };
  std::vector<Ranked> ranked;
  ranked.reserve(files.size());
  for (const LinkedFile &file : files)
    ranked.push_back({&file, identifierOf(file.node)});
  std::sort(ranked.begin(), ranked.end(), [](const Ranked &a, const Ranked &b) {
    return std::tie(a.file->device, a.file->inode, a.id) < std::tie(b.file->device, b.file->inode, b.id);
  });
  for (std::size_t i = 0; i < ranked.size(); ++i) {
    const LinkedFile &file = *ranked[i].file;
    bool first = i == 0 || ranked[i - 1].file->device != file.device || ranked[i - 1].file->inode != file.inode;
    file.node->allocatedSize = first ? file.size : 0;
  }
}

} // namespace tarnwick
