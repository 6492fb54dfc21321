#include "TarnwickCore/Import/NcduTreeBuilder.h"

#include "TarnwickCore/Support/PathJoin.h"

#include <algorithm>
#include <limits>
#include <tuple>

namespace tarnwick {
namespace {

using Kind = ExportReadError::Kind;

// Lists longer than this give back their room when a folder's closing
// leaves most of it unused, so one huge folder does not keep it for the rest
// of the read.
constexpr std::size_t keptListCapacity = 4096;

ExportReadError refusal(Kind kind, std::uint64_t offset, std::string detail) {
  return {kind, offset, std::move(detail)};
}

template <typename T>
void clearList(T &list) {
  if (list.capacity() > keptListCapacity)
    T().swap(list);
  else
    list.clear();
}

// Shrinking only below a quarter keeps a long run of closings linear.
template <typename T>
void truncateList(T &list, std::size_t size) {
  list.resize(size);
  if (list.capacity() > keptListCapacity && size < list.capacity() / 4)
    list.shrink_to_fit();
}

// Names' offsets are 40 bits wide in a record.
constexpr std::uint64_t maxNameBytes = std::uint64_t{1} << 40;

std::uint8_t hintCode(std::optional<CleanableCategory> hint) {
  return hint ? static_cast<std::uint8_t>(static_cast<unsigned>(*hint) + 1) : 0;
}

// A node's own record: its own blocks (a file: 1 in fileCount), no entries yet.
DiskTreeArena::Record ownRecord(const NcduEntry &entry, std::uint64_t nameOffset, std::size_t nameLength) {
  DiskTreeArena::Record r;
  r.allocatedSize = entry.diskSize;
  r.modificationTimestamp = entry.modificationTime;
  r.nameOffset = nameOffset;
  r.nameLength = nameLength;
  r.isDirectory = 0;
  r.isPackage = 0;
  r.categoryHintCode = 0;
  r.isRemoved = 0;
  r.parentID = 0;
  r.firstChildID = 0;
  r.childCount = 0;
  r.fileCount = 1;
  r.directoryCount = 0;
  return r;
}

} // namespace

NcduTreeBuilder::NcduTreeBuilder(std::size_t maxNodeCount) : maxNodeCount_(maxNodeCount) {}

std::optional<ExportReadError> NcduTreeBuilder::checkName(const NcduEntry &entry, std::uint64_t offset) const {
  if (!entry.hasName)
    return refusal(Kind::structure, offset, "an entry has no \"name\"");
  const std::string_view name = entry.name;
  if (name.size() > std::numeric_limits<std::uint16_t>::max())
    return refusal(Kind::badValue, offset, "a name is longer than 65,535 bytes");
  if (name.find('\0') != std::string_view::npos)
    return refusal(Kind::badValue, offset, "a name holds a NUL byte");
  if (!rootOpened_)
    return name.empty() ? std::optional(refusal(Kind::badValue, offset, "the root has an empty name")) : std::nullopt;
  if (name.empty() || name == "." || name == "..")
    return refusal(Kind::badValue, offset, "an entry of " + path_ + " is named \"" + std::string(name) + "\"");
  if (name.find('/') != std::string_view::npos)
    return refusal(Kind::badValue, offset, "the name \"" + std::string(name) + "\" in " + path_ + " holds a '/'");
  return std::nullopt;
}

std::optional<ExportReadError> NcduTreeBuilder::countNode(const NcduEntry &entry, std::uint64_t offset) {
  if (++nodeCount_ > maxNodeCount_)
    return refusal(Kind::tooLarge, offset,
                   "the export holds more than " + std::to_string(maxNodeCount_) + " entries, more than a tree can hold");
  if (__builtin_add_overflow(totalBytes_, entry.diskSize, &totalBytes_))
    return refusal(Kind::tooLarge, offset, "the sizes add up to more than 2^63 - 1 bytes");
  if ((nameBytes_ += entry.name.size()) >= maxNameBytes)
    return refusal(Kind::tooLarge, offset, "the names add up to more than a tree can hold");
  return std::nullopt;
}

std::string NcduTreeBuilder::childPath(std::string_view name) const {
  std::string path = path_;
  appendPathComponent(path, name);
  return path;
}

void NcduTreeBuilder::noteUnreadable(Frame &frame, const char *action) {
  if (frame.unreadableNoted)
    return;
  frame.unreadableNoted = true;
  ++report_.unreadableFolderCount;
  // Kept in full for now; finish() sorts them and keeps the first ones.
  report_.unreadablePaths.push_back({action, path_, 0, "the export marks it unreadable"});
}

void NcduTreeBuilder::pushFrame(std::uint64_t device, std::uint64_t hintMatches, std::size_t parentPathLength) {
  frames_.push_back({openNames_.size(), device, hintMatches, parentPathLength,
                     static_cast<std::uint32_t>(openChildren_.size()), static_cast<std::uint32_t>(openLinks_.size()),
                     false});
  hints_.emplace(path_, hintMatches);
}

NcduTreeBuilder::Record &NcduTreeBuilder::openRecord() {
  // While a folder is open nothing follows it in its parent's entries.
  return frames_.size() == 1 ? root_ : openChildren_[frames_.back().childrenStart - 1];
}

std::optional<ExportReadError> NcduTreeBuilder::openRoot(const NcduEntry &entry, std::uint64_t offset) {
  if (auto refused = checkName(entry, offset))
    return refused;
  rootPath_ = entry.name;
  const std::string_view lastComponent = lastPathComponent(rootPath_);
  const std::string_view name = lastComponent.empty() ? std::string_view("/") : lastComponent;
  NcduEntry named = entry;
  named.name = name;
  if (auto refused = countNode(named, offset))
    return refused;
  rootOpened_ = true;
  root_ = ownRecord(entry, 0, name.size());
  names_.append(name.data(), name.size());
  root_.parentID = -1;
  root_.fileCount = 0;
  root_.isDirectory = 1;
  root_.isPackage = hasPackageExtension(lastComponent);
  root_.categoryHintCode = hintCode(categoryHint(rootPath_));
  path_ = rootPath_;
  report_.rootDevice = entry.device;
  pushFrame(entry.device.value_or(0), DirectoryHintMatcher::matchesIn(rootPath_), 0);
  if (entry.readError) {
    noteUnreadable(frames_[0], "read");
    report_.rootReadable = false;
  }
  return std::nullopt;
}

NcduTreeBuilder::Record &NcduTreeBuilder::appendChild(const NcduEntry &entry, std::uint64_t offset,
                                                      std::uint64_t *hintMatches) {
  Record &record = openChildren_.emplace_back(ownRecord(entry, openNames_.size(), entry.name.size()));
  openNames_ += entry.name;
  const std::uint64_t matches = hints_->childMatches(entry.name);
  if (hintMatches)
    *hintMatches = matches;
  record.categoryHintCode = hintCode(DirectoryHintMatcher::hintFor(matches));
  openOffsets_.push_back(offset);
  return record;
}

std::optional<ExportReadError> NcduTreeBuilder::openFolder(const NcduEntry &entry, std::uint64_t offset) {
  if (auto refused = checkName(entry, offset))
    return refused;
  if (auto refused = countNode(entry, offset))
    return refused;
  std::uint64_t hintMatches = 0;
  Record &record = appendChild(entry, offset, &hintMatches);
  record.isDirectory = 1;
  record.fileCount = 0;
  record.isPackage = hasPackageExtension(entry.name);
  const std::uint64_t device = entry.device.value_or(frames_.back().device);
  const std::size_t parentPathLength = path_.size();
  appendPathComponent(path_, entry.name);
  pushFrame(device, hintMatches, parentPathLength);
  if (entry.readError)
    noteUnreadable(frames_.back(), "read");
  return std::nullopt;
}

std::optional<ExportReadError> NcduTreeBuilder::addFile(const NcduEntry &entry, std::uint64_t offset) {
  if (auto refused = checkName(entry, offset))
    return refused;
  Frame &frame = frames_.back();
  if (entry.exclusion == NcduEntry::Exclusion::pattern) {
    ++report_.excludedCount;
    return std::nullopt;
  }
  if (entry.notRegular && entry.isSymlink()) {
    // As a scan counts them: no node, its blocks in the folder's own size.
    ++report_.skippedSymlinkCount;
    if (__builtin_add_overflow(totalBytes_, entry.diskSize, &totalBytes_))
      return refusal(Kind::tooLarge, offset, "the sizes add up to more than 2^63 - 1 bytes");
    openRecord().allocatedSize += entry.diskSize;
    return std::nullopt;
  }
  if (auto refused = countNode(entry, offset))
    return refused;
  if (entry.exclusion == NcduEntry::Exclusion::otherFileSystem) {
    // A mount point not entered stays as an empty folder of 0 bytes.
    Record &record = appendChild(entry, offset);
    record.isDirectory = 1;
    record.fileCount = 0;
    record.allocatedSize = 0;
    ++report_.skippedMountCount;
    report_.skippedMounts.push_back(
        {childPath(entry.name), entry.exclusionKind, ScanReport::SkippedMount::Reason::otherFileSystem});
    return std::nullopt;
  }
  Record &record = appendChild(entry, offset);
  if (entry.readError)
    noteUnreadable(frame, "inspect the entries of");
  if (entry.sharesFile()) {
    if (repeatsOnly_) {
      record.allocatedSize = 0;
    } else {
      openLinks_.push_back({static_cast<std::uint32_t>(openChildren_.size() - 1),
                            entry.device.value_or(frame.device), *entry.inode, entry.linkCount, entry.diskSize});
    }
  }
  return std::nullopt;
}

std::optional<ExportReadError> NcduTreeBuilder::findDuplicate(const Frame &frame) {
  sortedNames_.clear();
  for (std::uint32_t i = frame.childrenStart; i < openChildren_.size(); ++i)
    sortedNames_.emplace_back(std::string_view(openNames_).substr(openChildren_[i].nameOffset, openChildren_[i].nameLength), i);
  std::sort(sortedNames_.begin(), sortedNames_.end());
  for (std::size_t i = 1; i < sortedNames_.size(); ++i) {
    if (sortedNames_[i].first != sortedNames_[i - 1].first)
      continue;
    const std::uint32_t later = std::max(sortedNames_[i].second, sortedNames_[i - 1].second);
    return refusal(Kind::duplicateName, openOffsets_[later],
                   path_ + " holds two entries named \"" + std::string(sortedNames_[i].first) + "\"");
  }
  clearList(sortedNames_);
  return std::nullopt;
}

std::optional<ExportReadError> NcduTreeBuilder::closeFolder(std::uint64_t) {
  const Frame frame = frames_.back();
  const std::size_t childCount = openChildren_.size() - frame.childrenStart;
  if (childCount > 1)
    if (auto refused = findDuplicate(frame))
      return refused;
  if (childCount > 0) {
    // The entries become one block; their names move to the name store.
    const auto start = static_cast<std::uint32_t>(records_.count);
    const std::uint64_t namesStart = names_.count;
    for (std::size_t i = frame.childrenStart; i < openChildren_.size(); ++i)
      openChildren_[i].nameOffset = openChildren_[i].nameOffset - frame.namesStart + namesStart;
    records_.append(openChildren_.data() + frame.childrenStart, childCount);
    names_.append(openNames_.data() + frame.namesStart, openNames_.size() - frame.namesStart);
    for (std::size_t i = frame.linksStart; i < openLinks_.size(); ++i) {
      PendingLink link = openLinks_[i];
      link.position = link.position - frame.childrenStart + start;
      linkedFiles_.push_back(link);
    }
    Record &self = openRecord();
    self.childCount = static_cast<std::uint32_t>(childCount);
    self.firstChildID = static_cast<NodeID>(blocks_.size());
    blocks_.push_back({start, self.childCount});
  }
  truncateList(openChildren_, frame.childrenStart);
  truncateList(openOffsets_, frame.childrenStart);
  truncateList(openNames_, frame.namesStart);
  truncateList(openLinks_, frame.linksStart);
  path_.resize(frame.parentPathLength);
  frames_.pop_back();
  if (!frames_.empty())
    hints_.emplace(path_, frames_.back().hintMatches);
  return std::nullopt;
}

void NcduTreeBuilder::numberBlocks() {
  // Breadth-first from the root's block; each block's entries that hold
  // entries name their own block in firstChildID until the table is filled.
  if (root_.childCount == 0)
    return;
  std::vector<std::uint32_t> order{static_cast<std::uint32_t>(root_.firstChildID)};
  order.reserve(blocks_.size());
  blocks_[order[0]].firstID = 1;
  blocks_[order[0]].parentID = DiskTreeArena::rootID;
  NodeID next = 1 + static_cast<NodeID>(root_.childCount);
  for (std::size_t i = 0; i < order.size(); ++i) {
    const Block &block = blocks_[order[i]];
    for (std::uint32_t k = 0; k < block.count; ++k) {
      const Record &record = records_[block.start + k];
      if (record.childCount == 0)
        continue;
      Block &child = blocks_[static_cast<std::size_t>(record.firstChildID)];
      child.firstID = next;
      child.parentID = block.firstID + static_cast<NodeID>(k);
      next += static_cast<NodeID>(child.count);
      order.push_back(static_cast<std::uint32_t>(record.firstChildID));
    }
  }
}

DiskTreeArena::NamePool NcduTreeBuilder::takeNames() {
  DiskTreeArena::NamePool pool(names_.count);
  for (std::size_t at = 0; at < names_.count; at += ChunkStore<char>::chunkSize) {
    std::copy_n(&names_[at], std::min(ChunkStore<char>::chunkSize, names_.count - at), pool.data() + at);
    names_.releaseBelow(at + ChunkStore<char>::chunkSize);
  }
  names_ = {};
  return pool;
}

DiskTreeArena::RecordTable NcduTreeBuilder::takeRecords() {
  DiskTreeArena::RecordTable table(records_.count + 1);
  root_.firstChildID = root_.childCount > 0 ? 1 : 0;
  table[0] = root_;
  // In the order the blocks were stored, so each chunk is given back as
  // soon as its blocks are in the table.
  for (const Block &block : blocks_) {
    for (std::uint32_t k = 0; k < block.count; ++k) {
      Record record = records_[block.start + k];
      record.parentID = block.parentID;
      record.firstChildID = record.childCount > 0 ? blocks_[static_cast<std::size_t>(record.firstChildID)].firstID : 0;
      table[static_cast<std::size_t>(block.firstID) + k] = record;
    }
    records_.releaseBelow(block.start + block.count);
  }
  records_ = {};
  return table;
}

SharedLinkTable NcduTreeBuilder::settleLinks(DiskTreeArena::RecordTable &table) {
  SharedLinkTable links;
  if (linkedFiles_.empty())
    return links;
  // Store positions become identifiers: find each one's block by its start.
  for (PendingLink &link : linkedFiles_) {
    const auto after = std::upper_bound(blocks_.begin(), blocks_.end(), link.position,
                                        [](std::uint32_t position, const Block &b) { return position < b.start; });
    link.position = static_cast<std::uint32_t>((after - 1)->firstID) + (link.position - (after - 1)->start);
  }
  std::sort(linkedFiles_.begin(), linkedFiles_.end(), [](const PendingLink &a, const PendingLink &b) {
    return std::tie(a.device, a.inode, a.position) < std::tie(b.device, b.inode, b.position);
  });
  std::vector<NodeID> names;
  for (std::size_t begin = 0, end; begin < linkedFiles_.size(); begin = end) {
    const PendingLink &first = linkedFiles_[begin];
    SharedLinkTable::File file{first.device, first.inode, 0, first.size, 0, 0};
    names.clear();
    for (end = begin; end < linkedFiles_.size() && linkedFiles_[end].device == first.device &&
                      linkedFiles_[end].inode == first.inode;
         ++end) {
      // The first name breadth-first keeps the bytes, as a scan counts them.
      if (end > begin)
        table[linkedFiles_[end].position].allocatedSize = 0;
      file.linkCount = std::max(file.linkCount, linkedFiles_[end].linkCount);
      names.push_back(static_cast<NodeID>(linkedFiles_[end].position));
    }
    file.linkCount = std::max<std::uint64_t>(file.linkCount, names.size());
    links.add(file, names);
  }
  std::vector<PendingLink>().swap(linkedFiles_);
  return links;
}

DiskTreeArena NcduTreeBuilder::finish(double seconds) {
  numberBlocks();
  DiskTreeArena::NamePool names = takeNames();
  DiskTreeArena::RecordTable table = takeRecords();
  SharedLinkTable sharedLinks = settleLinks(table);
  std::vector<Block>().swap(blocks_);
  // Children come after their parents: one backward pass adds every node's
  // totals into its parent's.
  for (std::size_t id = table.size() - 1; id > 0; --id) {
    const Record &child = table[id];
    Record &parent = table[static_cast<std::size_t>(child.parentID)];
    parent.allocatedSize += child.allocatedSize;
    parent.fileCount += child.fileCount;
    parent.directoryCount += child.directoryCount + child.isDirectory;
  }
  std::sort(report_.unreadablePaths.begin(), report_.unreadablePaths.end(),
            [](const Failure &a, const Failure &b) { return a.path < b.path; });
  if (report_.unreadablePaths.size() > ScanReport::maxUnreadablePaths)
    report_.unreadablePaths.resize(ScanReport::maxUnreadablePaths);
  std::sort(report_.skippedMounts.begin(), report_.skippedMounts.end(),
            [](const auto &a, const auto &b) { return a.path < b.path; });
  if (report_.skippedMounts.size() > ScanReport::maxSkippedMounts)
    report_.skippedMounts.resize(ScanReport::maxSkippedMounts);
  report_.durationSeconds = seconds;
  return DiskTreeArena(std::move(rootPath_), std::move(table), std::move(names), std::move(report_),
                       std::move(sharedLinks));
}

} // namespace tarnwick
