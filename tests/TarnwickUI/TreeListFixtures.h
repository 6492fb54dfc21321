#pragma once

#include "TarnwickCore/Tree/DiskTreeArena.h"
#include "TarnwickCore/Tree/TempNodeArena.h"

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillane::test {

/// One file of a tree built in memory: its path below the root ("a/b/f"),
/// its size and modification time. Folders are implied by the paths.
struct TreeEntry {
  std::string path;
  std::int64_t size = 0;
  double modified = 0;
};

/// The arena of a tree rooted at "/t" holding `entries` (folders of no size
/// of their own), children numbered in the order their names first appear.
inline std::shared_ptr<const tarnwick::DiskTreeArena> buildTree(const std::vector<TreeEntry> &entries) {
  struct Draft {
    std::string name;
    const TreeEntry *file = nullptr;
    std::vector<Draft> children;
  };
  Draft top;
  for (const TreeEntry &entry : entries) {
    Draft *at = &top;
    for (std::size_t start = 0; start <= entry.path.size();) {
      const std::size_t end = std::min(entry.path.find('/', start), entry.path.size());
      const std::string name = entry.path.substr(start, end - start);
      auto found = std::find_if(at->children.begin(), at->children.end(), [&](const Draft &d) { return d.name == name; });
      if (found == at->children.end())
        found = at->children.insert(at->children.end(), Draft{name, nullptr, {}});
      at = &*found;
      start = end + 1;
    }
    at->file = &entry;
  }
  tarnwick::TempNodeArena nodes;
  const auto fill = [&](const auto &self, tarnwick::TempTreeNode &node, const Draft &draft) -> void {
    const std::string_view stored = nodes.storeName(draft.name);
    node.nameBytes = stored.data();
    node.nameLength = static_cast<std::uint16_t>(stored.size());
    node.isDirectory = draft.file == nullptr;
    node.allocatedSize = draft.file ? draft.file->size : 0;
    node.modificationTimestamp = draft.file ? draft.file->modified : 0;
    if (draft.children.empty())
      return;
    auto block = nodes.allocateBlock(draft.children.size());
    for (std::size_t i = 0; i < draft.children.size(); ++i)
      self(self, block[i], draft.children[i]);
    node.adoptChildren(block);
  };
  tarnwick::TempTreeNode &root = nodes.allocateBlock(1)[0];
  fill(fill, root, top);
  root.aggregate();
  return std::make_shared<const tarnwick::DiskTreeArena>(tarnwick::freezeTree(root, "/t"));
}

} // namespace quillane::test
