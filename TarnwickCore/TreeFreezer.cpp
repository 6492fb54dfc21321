#include "TarnwickCore/ChildBlockWalk.h"
#include "TarnwickCore/DiskTreeArena.h"

namespace tarnwick {
namespace {

DiskTreeArena::Record frozenRecord(const TempTreeNode &temp, std::string &namePool) {
  DiskTreeArena::Record r;
  r.allocatedSize = temp.allocatedSize;
  r.modificationTimestamp = temp.modificationTimestamp;
  r.nameOffset = namePool.size();
  r.nameLength = temp.nameLength;
  namePool.append(temp.name());
  r.isDirectory = temp.isDirectory;
  r.isPackage = temp.isPackage;
  r.categoryHintCode = temp.categoryHintCode;
  r.fileCount = temp.fileCount;
  r.directoryCount = temp.directoryCount;
  r.childCount = temp.childCount;
  return r;
}

} // namespace

DiskTreeArena freezeTree(const TempTreeNode &root, std::string rootPath) {
  // Breadth-first numbering block by block: the root is 0, each block's
  // nodes take the next consecutive identifiers in listing order, and a
  // block is numbered after every block queued before it.
  std::vector<ChildBlock> blocks = childBlocksBreadthFirst(root);
  std::size_t nodeCount = 1;
  std::size_t nameBytes = root.nameLength;
  for (const ChildBlock &block : blocks) {
    nodeCount += block.children.size();
    for (const TempTreeNode &child : block.children)
      nameBytes += child.nameLength;
  }
  std::vector<DiskTreeArena::Record> records;
  records.reserve(nodeCount);
  std::string namePool;
  namePool.reserve(nameBytes);

  records.push_back(frozenRecord(root, namePool));
  records[0].firstChildID = 1;
  NodeID nextChildID = 1 + static_cast<NodeID>(root.childCount);
  // blocks[b] belongs to the directory numbered parents[b].
  std::vector<NodeID> parents(blocks.size());
  std::size_t nextBlock = 1;
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    for (const TempTreeNode &child : blocks[b].children) {
      NodeID id = static_cast<NodeID>(records.size());
      DiskTreeArena::Record &r = records.emplace_back(frozenRecord(child, namePool));
      r.parentID = parents[b];
      r.firstChildID = nextChildID;
      if (child.childCount > 0) {
        parents[nextBlock++] = id;
        nextChildID += static_cast<NodeID>(child.childCount);
      }
    }
  }
  return DiskTreeArena(std::move(rootPath), std::move(records), std::move(namePool));
}

} // namespace tarnwick
