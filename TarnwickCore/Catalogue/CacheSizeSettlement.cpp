#include "TarnwickCore/Catalogue/CacheSizeSettlement.h"

#include <algorithm>
#include <unordered_map>

namespace tarnwick {
namespace {

struct FileKey {
  std::uint64_t device;
  std::uint64_t inode;
  bool operator==(const FileKey &) const = default;
};

struct FileKeyHash {
  std::size_t operator()(const FileKey &key) const noexcept {
    return std::hash<std::uint64_t>{}(key.inode * 0x9E3779B97F4A7C15ull ^ key.device);
  }
};

// One multi-link file across every item of the measurement.
struct SharedInode {
  std::uint64_t linkCount = 0;
  std::uint64_t namesFound = 0;
  bool counted = false;
  // The items holding one of its names, with the bytes each recorded.
  std::vector<std::pair<std::size_t, std::int64_t>> holders;

  bool isFreed() const { return namesFound >= linkCount; }
};

using SharedInodes = std::unordered_map<FileKey, SharedInode, FileKeyHash>;

FileKey keyOf(const CacheMeasurement::SharedFile &file) { return {file.device, file.inode}; }

SharedInodes gatherSharedInodes(const std::vector<MeasuredCacheItem> &items) {
  SharedInodes inodes;
  for (std::size_t index = 0; index < items.size(); ++index)
    for (const CacheMeasurement::SharedFile &file : items[index].measurement.sharedFiles) {
      SharedInode &inode = inodes[keyOf(file)];
      inode.linkCount = std::max(inode.linkCount, file.linkCount);
      inode.namesFound += file.namesFound;
      inode.holders.emplace_back(index, file.bytes);
    }
  return inodes;
}

} // namespace

std::vector<CleanableItem> settleSizes(std::vector<MeasuredCacheItem> items) {
  SharedInodes inodes = gatherSharedInodes(items);
  // What each item would count if it came before every other holder of its
  // shared files; it only shrinks as other items are placed.
  std::vector<std::int64_t> candidate(items.size());
  for (std::size_t index = 0; index < items.size(); ++index) {
    candidate[index] = items[index].measurement.unsharedBytes;
    for (const CacheMeasurement::SharedFile &file : items[index].measurement.sharedFiles)
      if (inodes[keyOf(file)].isFreed())
        candidate[index] += file.bytes;
  }

  // Place the largest candidate (the earliest among equals), charge it its
  // shared files, and take those from every item still to be placed. Sizes
  // come out non-increasing, so this is the largest-first order, and each
  // file counts at the first of its holders in it.
  std::vector<bool> placed(items.size(), false);
  std::vector<CleanableItem> settled;
  settled.reserve(items.size());
  for (std::size_t round = 0; round < items.size(); ++round) {
    std::size_t next = items.size();
    for (std::size_t index = 0; index < items.size(); ++index)
      if (!placed[index] && (next == items.size() || candidate[index] > candidate[next]))
        next = index;
    placed[next] = true;
    for (const CacheMeasurement::SharedFile &file : items[next].measurement.sharedFiles) {
      SharedInode &inode = inodes[keyOf(file)];
      if (!inode.isFreed() || inode.counted)
        continue;
      inode.counted = true;
      for (auto [holder, bytes] : inode.holders)
        if (!placed[holder])
          candidate[holder] -= bytes;
    }
    CleanableItem &item = settled.emplace_back(std::move(items[next].item));
    item.sizeBytes = candidate[next];
  }
  return settled;
}

} // namespace tarnwick
