#include "TarnwickCore/DiskTreeArena.h"
#include "TarnwickCore/TempTreeNode.h"

namespace tarnwick {

DiskTreeArena freezeTree(const TempTreeNode &root, std::string rootPath) {
  // The work list is the table itself: record i is built from order[i], and
  // its children are appended behind everything already queued, so they get
  // consecutive identifiers in listing order.
  std::vector<const TempTreeNode *> order{&root};
  std::vector<DiskTreeArena::Record> records;
  std::size_t nameBytes = 0;
  for (std::size_t i = 0; i < order.size(); ++i) {
    for (const TempTreeNode &child : order[i]->children())
      order.push_back(&child);
    nameBytes += order[i]->nameLength;
  }
  records.resize(order.size());
  std::string namePool;
  namePool.reserve(nameBytes);

  NodeID nextChild = 1;
  for (std::size_t i = 0; i < order.size(); ++i) {
    const TempTreeNode &temp = *order[i];
    DiskTreeArena::Record &r = records[i];
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
    r.firstChildID = nextChild;
    r.childCount = temp.childCount;
    for (std::uint32_t c = 0; c < temp.childCount; ++c)
      records[static_cast<std::size_t>(nextChild) + c].parentID = static_cast<NodeID>(i);
    nextChild += static_cast<NodeID>(temp.childCount);
  }
  return DiskTreeArena(std::move(rootPath), std::move(records), std::move(namePool));
}

} // namespace tarnwick
