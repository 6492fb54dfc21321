#pragma once

#include "TarnwickCore/Tree/DiskTreeArena.h"

#include <string>
#include <vector>

namespace quillane::test {

/// Every node of `arena` as one comparable line (path, parent, size,
/// counts, children's names), so two trees that differ show the path.
inline std::vector<std::string> describeArena(const tarnwick::DiskTreeArena &arena) {
  std::vector<std::string> lines;
  for (tarnwick::NodeID id = 0; id < static_cast<tarnwick::NodeID>(arena.nodeCount()); ++id) {
    const tarnwick::DiskNode node = *arena.node(id);
    std::string children;
    for (tarnwick::NodeID child : node.childIDs)
      children += " " + std::string(arena.name(child));
    lines.push_back(node.path + " " + std::to_string(node.parentID.value_or(-1)) + " " +
                    std::to_string(node.allocatedSize) + " " + std::to_string(node.fileCount) + " " +
                    std::to_string(node.directoryCount) + " [" + children + " ]");
  }
  return lines;
}

} // namespace quillane::test
