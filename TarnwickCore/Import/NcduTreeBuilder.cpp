#include "TarnwickCore/Import/NcduTreeBuilder.h"

#include "TarnwickCore/Support/PathJoin.h"

#include <algorithm>
#include <limits>
#include <thread>

namespace tarnwick {
namespace {

using Kind = ExportReadError::Kind;

// Lists longer than this are given back when their folder closes, so one
// huge folder does not keep its room for the rest of the read.
constexpr std::size_t keptListCapacity = 4096;

ExportReadError refusal(Kind kind, std::uint64_t offset, std::string detail) {
  return {kind, offset, std::move(detail)};
}

template <typename T>
void clearList(std::vector<T> &list) {
  if (list.capacity() > keptListCapacity)
    std::vector<T>().swap(list);
  else
    list.clear();
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
  if (root_ == nullptr)
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

void NcduTreeBuilder::pushFrame(std::uint64_t device, std::uint64_t hintMatches) {
  if (frames_.size() == depth_)
    frames_.emplace_back();
  Frame &frame = frames_[depth_++];
  frame.device = device;
  frame.hints.emplace(path_, hintMatches);
  frame.linkBytes = 0;
  frame.unreadableNoted = false;
}

std::optional<ExportReadError> NcduTreeBuilder::openRoot(const NcduEntry &entry, std::uint64_t offset) {
  if (auto refused = checkName(entry, offset))
    return refused;
  if (auto refused = countNode(entry, offset))
    return refused;
  root_ = &arena_.allocateBlock(1)[0];
  rootPath_ = entry.name;
  const std::string_view lastComponent = lastPathComponent(rootPath_);
  const std::string_view name = arena_.storeName(lastComponent.empty() ? "/" : lastComponent);
  root_->nameBytes = name.data();
  root_->nameLength = static_cast<std::uint16_t>(name.size());
  root_->isDirectory = true;
  root_->isPackage = hasPackageExtension(lastComponent);
  root_->allocatedSize = entry.diskSize;
  root_->modificationTimestamp = entry.modificationTime;
  root_->setCategoryHint(categoryHint(rootPath_));
  path_ = rootPath_;
  pushFrame(entry.device.value_or(0), DirectoryHintMatcher::matchesIn(rootPath_));
  frames_[0].parentPathLength = 0;
  if (entry.readError) {
    noteUnreadable(frames_[0], "read");
    report_.rootReadable = false;
  }
  return std::nullopt;
}

TempTreeNode &NcduTreeBuilder::appendChild(const NcduEntry &entry, std::uint64_t offset) {
  Frame &frame = frames_[depth_ - 1];
  TempTreeNode &node = frame.children.emplace_back();
  const std::string_view name = arena_.storeName(entry.name);
  node.nameBytes = name.data();
  node.nameLength = static_cast<std::uint16_t>(name.size());
  node.allocatedSize = entry.diskSize;
  node.modificationTimestamp = entry.modificationTime;
  node.setCategoryHint(DirectoryHintMatcher::hintFor(frame.hints->childMatches(entry.name)));
  frame.offsets.push_back(offset);
  return node;
}

std::optional<ExportReadError> NcduTreeBuilder::openFolder(const NcduEntry &entry, std::uint64_t offset) {
  if (auto refused = checkName(entry, offset))
    return refused;
  if (auto refused = countNode(entry, offset))
    return refused;
  const std::size_t parent = depth_ - 1;
  TempTreeNode &node = appendChild(entry, offset);
  node.isDirectory = true;
  node.isPackage = hasPackageExtension(entry.name);
  const std::uint64_t hintMatches = frames_[parent].hints->childMatches(entry.name);
  const auto index = static_cast<std::uint32_t>(frames_[parent].children.size() - 1);
  const std::uint64_t device = entry.device.value_or(frames_[parent].device);
  const std::size_t parentPathLength = path_.size();
  appendPathComponent(path_, entry.name);
  pushFrame(device, hintMatches);
  Frame &frame = frames_[depth_ - 1];
  frame.parentPathLength = parentPathLength;
  frame.indexInParent = index;
  if (entry.readError)
    noteUnreadable(frame, "read");
  return std::nullopt;
}

std::optional<ExportReadError> NcduTreeBuilder::addFile(const NcduEntry &entry, std::uint64_t offset) {
  if (auto refused = checkName(entry, offset))
    return refused;
  Frame &frame = frames_[depth_ - 1];
  if (entry.exclusion == NcduEntry::Exclusion::pattern) {
    ++report_.excludedCount;
    return std::nullopt;
  }
  if (entry.notRegular && entry.isSymlink()) {
    // As a scan counts them: no node, its blocks in the folder's own size.
    ++report_.skippedSymlinkCount;
    if (__builtin_add_overflow(totalBytes_, entry.diskSize, &totalBytes_))
      return refusal(Kind::tooLarge, offset, "the sizes add up to more than 2^63 - 1 bytes");
    frame.linkBytes += entry.diskSize;
    return std::nullopt;
  }
  if (auto refused = countNode(entry, offset))
    return refused;
  if (entry.exclusion == NcduEntry::Exclusion::otherFileSystem) {
    // A mount point not entered stays as an empty folder of 0 bytes.
    TempTreeNode &node = appendChild(entry, offset);
    node.isDirectory = true;
    node.allocatedSize = 0;
    ++report_.skippedMountCount;
    report_.skippedMounts.push_back(
        {childPath(entry.name), entry.exclusionKind, ScanReport::SkippedMount::Reason::otherFileSystem});
    return std::nullopt;
  }
  TempTreeNode &node = appendChild(entry, offset);
  node.fileCount = 1;
  if (entry.readError)
    noteUnreadable(frame, "inspect the entries of");
  if (entry.sharesFile()) {
    if (repeatsOnly_) {
      node.allocatedSize = 0;
    } else {
      frame.links.push_back({static_cast<std::uint32_t>(frame.children.size() - 1),
                             entry.device.value_or(frame.device), *entry.inode, entry.linkCount, entry.diskSize});
    }
  }
  return std::nullopt;
}

std::optional<ExportReadError> NcduTreeBuilder::findDuplicate(const Frame &frame) {
  sortedNames_.clear();
  for (std::uint32_t i = 0; i < frame.children.size(); ++i)
    sortedNames_.emplace_back(frame.children[i].name(), i);
  std::sort(sortedNames_.begin(), sortedNames_.end());
  for (std::size_t i = 1; i < sortedNames_.size(); ++i) {
    if (sortedNames_[i].first != sortedNames_[i - 1].first)
      continue;
    const std::uint32_t later = std::max(sortedNames_[i].second, sortedNames_[i - 1].second);
    return refusal(Kind::duplicateName, frame.offsets[later],
                   path_ + " holds two entries named \"" + std::string(sortedNames_[i].first) + "\"");
  }
  clearList(sortedNames_);
  return std::nullopt;
}

std::optional<ExportReadError> NcduTreeBuilder::closeFolder(std::uint64_t offset) {
  (void)offset;
  Frame &frame = frames_[depth_ - 1];
  if (frame.children.size() > 1)
    if (auto refused = findDuplicate(frame))
      return refused;
  const std::span<TempTreeNode> block = arena_.copyBlock(frame.children);
  for (const PendingLink &link : frame.links)
    linkedFiles_.push_back({static_cast<std::int64_t>(link.device), link.inode, link.size, link.linkCount,
                            &block[link.index]});
  TempTreeNode &self = depth_ == 1 ? *root_ : frames_[depth_ - 2].children[frame.indexInParent];
  self.adoptChildren(block);
  self.allocatedSize += frame.linkBytes;
  clearList(frame.children);
  clearList(frame.offsets);
  clearList(frame.links);
  path_.resize(frame.parentPathLength);
  --depth_;
  return std::nullopt;
}

DiskTreeArena NcduTreeBuilder::finish(double seconds) {
  const std::vector<ChildBlock> blocks = childBlocksBreadthFirst(*root_);
  SharedLinkTable sharedLinks = resolveHardLinks(blocks, std::move(linkedFiles_));
  aggregateBlocks(blocks);
  std::sort(report_.unreadablePaths.begin(), report_.unreadablePaths.end(),
            [](const Failure &a, const Failure &b) { return a.path < b.path; });
  if (report_.unreadablePaths.size() > ScanReport::maxUnreadablePaths)
    report_.unreadablePaths.resize(ScanReport::maxUnreadablePaths);
  std::sort(report_.skippedMounts.begin(), report_.skippedMounts.end(),
            [](const auto &a, const auto &b) { return a.path < b.path; });
  if (report_.skippedMounts.size() > ScanReport::maxSkippedMounts)
    report_.skippedMounts.resize(ScanReport::maxSkippedMounts);
  report_.durationSeconds = seconds;
  const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
  return freezeTree(*root_, blocks, rootPath_, threads, std::move(report_), std::move(sharedLinks));
}

} // namespace tarnwick
