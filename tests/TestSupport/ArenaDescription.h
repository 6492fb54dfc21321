#pragma once

#include "TarnwickCore/Tree/DiskTreeArena.h"

#include <string>
#include <vector>

namespace quillane::test {

/// Every node reachable from the root of `arena`, breadth-first, as one
/// comparable line (path, parent, size, counts, children's names), so two
/// trees that differ show the path. The parent is given by identifier when
/// `withIdentifiers` (the line then starts with the node's own), otherwise
/// by path, for trees numbered differently.
inline std::vector<std::string> describeArena(const tarnwick::DiskTreeArena &arena, bool withIdentifiers = true) {
  std::vector<std::string> lines;
  if (arena.nodeCount() == 0)
    return lines;
  std::vector<tarnwick::DiskNode> pending{*arena.rootNode()};
  for (std::size_t i = 0; i < pending.size(); ++i) {
    const tarnwick::DiskNode node = pending[i];
    std::string children;
    for (tarnwick::NodeID child : node.childIDs) {
      children += " " + std::string(arena.name(child));
      pending.push_back(*arena.node(child));
    }
    const std::string parent = !node.parentID         ? "-"
                               : withIdentifiers      ? std::to_string(*node.parentID)
                                                      : arena.path(*node.parentID);
    lines.push_back((withIdentifiers ? std::to_string(node.id) + " " : "") + node.path + " " + parent + " " +
                    std::to_string(node.allocatedSize) + " " + std::to_string(node.fileCount) + " " +
                    std::to_string(node.directoryCount) + " [" + children + " ]");
  }
  return lines;
}

/// Every hard-linked file of `arena` as one line: link count, size and the
/// paths of its names, carrier first.
inline std::vector<std::string> describeLinks(const tarnwick::DiskTreeArena &arena) {
  std::vector<std::string> lines;
  const tarnwick::SharedLinkTable &links = arena.sharedLinks();
  for (const tarnwick::SharedLinkTable::File &file : links.files()) {
    std::string line = std::to_string(file.linkCount) + " " + std::to_string(file.allocatedSize) + ":";
    for (tarnwick::NodeID name : links.names(file))
      line += " " + arena.path(name);
    lines.push_back(line);
  }
  return lines;
}

} // namespace quillane::test
