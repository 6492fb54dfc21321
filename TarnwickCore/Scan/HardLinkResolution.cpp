#include "TarnwickCore/Scan/HardLinkResolution.h"

#include <algorithm>
#include <functional>
#include <tuple>

namespace tarnwick {

SharedLinkTable resolveHardLinks(const std::vector<ChildBlock> &blocks, std::vector<LinkedFile> files) {
  SharedLinkTable table;
  if (files.empty())
    return table;
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
  std::vector<NodeID> names;
  for (std::size_t begin = 0, end; begin < ranked.size(); begin = end) {
    const LinkedFile &first = *ranked[begin].file;
    SharedLinkTable::File shared{static_cast<std::uint64_t>(first.device), first.inode, 0, first.size, 0, 0};
    names.clear();
    for (end = begin; end < ranked.size() && ranked[end].file->device == first.device &&
                      ranked[end].file->inode == first.inode;
         ++end) {
      const LinkedFile &file = *ranked[end].file;
      file.node->allocatedSize = end == begin ? file.size : 0;
      // A link made during the scan shows in the later reads.
      shared.linkCount = std::max(shared.linkCount, file.linkCount);
      names.push_back(ranked[end].id);
    }
    shared.linkCount = std::max<std::uint64_t>(shared.linkCount, names.size());
    table.add(shared, names);
  }
  return table;
}

} // namespace tarnwick
