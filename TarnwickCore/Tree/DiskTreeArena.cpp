#include "TarnwickCore/Tree/DiskTreeArena.h"

#include "TarnwickCore/Support/PathJoin.h"

#include <algorithm>
#include <functional>

namespace tarnwick {
namespace {

constexpr std::size_t maxBreadcrumbLength = 512;

// Bytes a string keeps outside itself: none while it is short enough to
// sit in its own storage.
std::size_t heapBytes(const std::string &text) {
  const char *self = reinterpret_cast<const char *>(&text);
  const std::less<const char *> before;
  const bool inside = !before(text.data(), self) && before(text.data(), self + sizeof text);
  return inside ? 0 : text.capacity() + 1;
}

// Points one chunk of `chunks` at each chunkSize entries of `table`, which
// the chunks keep alive together.
template <class Entry, class Table>
void shareInChunks(std::vector<std::shared_ptr<Entry>> &chunks, Table table, std::size_t chunkSize) {
  auto shared = std::make_shared<Table>(std::move(table));
  chunks.reserve((shared->size() + chunkSize - 1) / chunkSize);
  for (std::size_t first = 0; first < shared->size(); first += chunkSize)
    chunks.emplace_back(shared, shared->data() + first);
}

} // namespace

DiskTreeArena::DiskTreeArena(std::string rootPath, RecordTable records, NamePool namePool, ScanReport report,
                             SharedLinkTable sharedLinks)
    : rootPath_(std::move(rootPath)), nodeCount_(records.size()),
      namePool_(std::make_shared<const NamePool>(std::move(namePool))), report_(std::move(report)),
      sharedLinks_(std::move(sharedLinks)) {
  // Folder entries go to the nodes that need one, in identifier order.
  const auto folderTotal =
      static_cast<std::size_t>(std::count_if(records.begin(), records.end(), needsFolderEntry));
  StoredNodeTable nodes(nodeCount_);
  FolderTable folders(folderTotal);
  std::uint32_t nextFolder = 0;
  for (std::size_t i = 0; i < nodeCount_; ++i) {
    const Record &r = records[i];
    StoredNode &stored = nodes[i];
    static_cast<NodeFields &>(stored) = r;
    stored.parentID = r.parentID;
    stored.folderIndex = noFolder;
    if (needsFolderEntry(r)) {
      folders[nextFolder] = {r.firstChildID, r.childCount, r.fileCount, r.directoryCount};
      stored.folderIndex = nextFolder++;
    }
  }
  records = {};
  folderCount_ = folderTotal;
  shareInChunks(chunks_, std::move(nodes), chunkSize);
  shareInChunks(folderChunks_, std::move(folders), chunkSize);
}

DiskTreeArena::DiskTreeArena(std::string rootPath, StoredNodeTable nodes, FolderTable folders, NamePool namePool,
                             ScanReport report, SharedLinkTable sharedLinks)
    : rootPath_(std::move(rootPath)), nodeCount_(nodes.size()), folderCount_(folders.size()),
      namePool_(std::make_shared<const NamePool>(std::move(namePool))), report_(std::move(report)),
      sharedLinks_(std::move(sharedLinks)) {
  shareInChunks(chunks_, std::move(nodes), chunkSize);
  shareInChunks(folderChunks_, std::move(folders), chunkSize);
}

void DiskTreeArena::countSubtrees(const StoredNodeTable &nodes, FolderTable &folders) {
  // One pass from the last identifier down sees every subtree complete
  // before its root is added to its parent.
  for (std::size_t id = nodes.size(); id-- > 1;) {
    const StoredNode &child = nodes[id];
    FolderCounts &parent = folders[nodes[static_cast<std::size_t>(child.parentID)].folderIndex];
    if (child.folderIndex == noFolder) {
      ++parent.fileCount;
      continue;
    }
    const FolderCounts &counts = folders[child.folderIndex];
    parent.fileCount += counts.fileCount;
    parent.directoryCount += counts.directoryCount + (child.isDirectory ? 1 : 0);
  }
}

std::string_view DiskTreeArena::name(NodeID id) const {
  const StoredNode &r = storedNode(id);
  return std::string_view(namePool_->data() + r.nameOffset, r.nameLength);
}

std::optional<CleanableCategory> DiskTreeArena::categoryHint(NodeID id) const {
  const StoredNode &r = storedNode(id);
  if (r.categoryHintCode == 0)
    return std::nullopt;
  return static_cast<CleanableCategory>(r.categoryHintCode - 1);
}

std::string DiskTreeArena::path(NodeID id) const {
  // Walk up to the root (or to a broken link), then join downwards.
  std::vector<NodeID> chain;
  NodeID cursor = id;
  while (isValid(cursor) && cursor != rootID) {
    chain.push_back(cursor);
    cursor = record(cursor).parentID;
  }
  std::string result = rootPath_;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it)
    appendPathComponent(result, name(*it));
  return result;
}

DiskNode DiskTreeArena::makeNode(NodeID id, std::string nodePath) const {
  const Record &r = record(id);
  DiskNode node;
  node.id = id;
  if (r.parentID >= 0)
    node.parentID = r.parentID;
  node.name = std::string(name(id));
  node.path = std::move(nodePath);
  node.isDirectory = r.isDirectory;
  node.isPackage = r.isPackage;
  node.allocatedSize = r.allocatedSize;
  node.fileCount = r.fileCount;
  node.directoryCount = r.directoryCount;
  node.modificationTimestamp = r.modificationTimestamp;
  node.categoryHint = categoryHint(id);
  node.childIDs.resize(r.childCount);
  for (std::uint32_t i = 0; i < r.childCount; ++i)
    node.childIDs[i] = r.firstChildID + static_cast<NodeID>(i);
  return node;
}

std::optional<DiskNode> DiskTreeArena::node(NodeID id) const {
  if (!isValid(id))
    return std::nullopt;
  return makeNode(id, path(id));
}

std::vector<DiskNode> DiskTreeArena::children(NodeID id, std::size_t limit) const {
  std::vector<DiskNode> result;
  if (!isValid(id))
    return result;
  const Record &parent = record(id);
  // Order the identifiers first, then build each node kept once, in place.
  std::vector<NodeID> order;
  order.reserve(parent.childCount);
  for (std::uint32_t i = 0; i < parent.childCount; ++i)
    if (NodeID child = parent.firstChildID + static_cast<NodeID>(i); isValid(child))
      order.push_back(child);
  // Identifiers break ties, which makes any sort keep equal sizes in
  // identifier order.
  auto largerFirst = [this](NodeID a, NodeID b) {
    const std::int64_t sizeA = storedNode(a).allocatedSize, sizeB = storedNode(b).allocatedSize;
    return sizeA != sizeB ? sizeA > sizeB : a < b;
  };
  const auto kept = order.begin() + static_cast<std::ptrdiff_t>(std::min(limit, order.size()));
  if (kept == order.end()) {
    std::sort(order.begin(), order.end(), largerFirst);
  } else {
    std::partial_sort(order.begin(), kept, order.end(), largerFirst);
    order.erase(kept, order.end());
  }
  const std::string parentPath = path(id);
  result.reserve(order.size());
  for (NodeID child : order) {
    std::string childPath = parentPath;
    appendPathComponent(childPath, name(child));
    result.push_back(makeNode(child, std::move(childPath)));
  }
  return result;
}

std::vector<DiskNode> DiskTreeArena::breadcrumbChain(NodeID id) const {
  std::vector<NodeID> ids;
  for (NodeID cursor = id; isValid(cursor);) {
    ids.push_back(cursor);
    NodeID parent = record(cursor).parentID;
    if (parent < 0 || ids.size() == maxBreadcrumbLength)
      break;
    cursor = parent;
  }
  // Top down, so each path extends the one before it.
  std::vector<DiskNode> chain;
  chain.reserve(ids.size());
  for (auto it = ids.rbegin(); it != ids.rend(); ++it) {
    std::string nodePath;
    if (chain.empty()) {
      nodePath = path(*it);
    } else {
      nodePath = chain.back().path;
      appendPathComponent(nodePath, name(*it));
    }
    chain.push_back(makeNode(*it, std::move(nodePath)));
  }
  return chain;
}

CacheMeasurement DiskTreeArena::removalMeasurement(NodeID id) const {
  CacheMeasurement measurement;
  if (!isValid(id))
    return measurement;
  measurement.unsharedBytes = record(id).allocatedSize;
  // Identifiers grow downwards, so the walk up from a name can stop as soon
  // as it passes below `id`.
  auto isInside = [&](NodeID name) {
    while (name > id)
      name = record(name).parentID;
    return name == id;
  };
  for (const SharedLinkTable::File &file : sharedLinks_.files()) {
    const std::span<const NodeID> names = sharedLinks_.names(file);
    const auto inside = static_cast<std::uint64_t>(std::count_if(names.begin(), names.end(), isInside));
    if (inside == 0)
      continue;
    // The subtree's size holds the file's bytes when it holds their carrier.
    if (isInside(names.front()))
      measurement.unsharedBytes -= file.allocatedSize;
    measurement.sharedFiles.push_back({file.device, file.inode, file.linkCount, inside, file.allocatedSize});
  }
  return measurement;
}

std::size_t DiskTreeArena::memoryBytes() const {
  std::size_t reportBytes = report_.unreadablePaths.capacity() * sizeof(Failure);
  for (const Failure &failure : report_.unreadablePaths)
    reportBytes += heapBytes(failure.action) + heapBytes(failure.path) + heapBytes(failure.reason);
  return nodeCount_ * sizeof(StoredNode) + folderCount_ * sizeof(FolderCounts) +
         (chunks_.capacity() + folderChunks_.capacity()) * sizeof(chunks_[0]) + namePool_->capacity() +
         rootPath_.capacity() + reportBytes + sharedLinks_.memoryBytes();
}

bool operator==(const DiskTreeArena &lhs, const DiskTreeArena &rhs) {
  if (lhs.report_ != rhs.report_ || lhs.rootPath_ != rhs.rootPath_ || lhs.nodeCount_ != rhs.nodeCount_ ||
      lhs.sharedLinks_ != rhs.sharedLinks_)
    return false;
  for (std::size_t i = 0; i < lhs.nodeCount_; ++i) {
    const NodeID id = static_cast<NodeID>(i);
    const auto &a = lhs.record(id);
    const auto &b = rhs.record(id);
    if (a.isRemoved != b.isRemoved || a.allocatedSize != b.allocatedSize ||
        a.modificationTimestamp != b.modificationTimestamp ||
        a.isDirectory != b.isDirectory || a.isPackage != b.isPackage ||
        a.categoryHintCode != b.categoryHintCode || a.parentID != b.parentID ||
        a.firstChildID != b.firstChildID || a.childCount != b.childCount ||
        a.fileCount != b.fileCount || a.directoryCount != b.directoryCount ||
        lhs.name(id) != rhs.name(id))
      return false;
  }
  return true;
}

} // namespace tarnwick
