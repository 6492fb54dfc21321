#include "TarnwickCore/Tree/ChildBlockWalk.h"
#include "TarnwickCore/Tree/DiskTreeArena.h"
#include "TarnwickCore/Tree/TempArenaDrain.h"
#include "TarnwickCore/Support/PrefaultPages.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <thread>

namespace tarnwick {
namespace {

using Record = DiskTreeArena::Record;

// Below this many nodes a second thread costs more than it saves.
constexpr std::size_t nodesPerExtraThread = 50'000;
// Fresh pages are mapped ahead of the copy this much at a time, not all at
// once, so that the frozen tree grows only as fast as the drain frees the
// temporary one.
constexpr std::size_t faultAheadBytes = std::size_t(256) << 10;

// Maps the pages of [done, end) of `base` ahead of the writes, a window at
// a time.
class FaultAhead {
public:
  FaultAhead(char *base, std::size_t begin, std::size_t end) : base_(base), done_(begin), end_(end) {}
  /// Makes sure [.., `position`) is mapped.
  void reach(std::size_t position) {
    if (position <= done_)
      return;
    const std::size_t upTo = std::min(end_, std::max(position, done_ + faultAheadBytes));
    prefaultForWriting(base_ + done_, upTo - done_);
    done_ = upTo;
  }

private:
  char *base_;
  std::size_t done_;
  std::size_t end_;
};

void writeRecord(Record &r, const TempTreeNode &temp, NodeID parentID, NodeID firstChildID,
                 std::uint64_t nameOffset, char *names) {
  r.allocatedSize = temp.allocatedSize;
  r.modificationTimestamp = temp.modificationTimestamp;
  r.nameOffset = nameOffset;
  r.nameLength = temp.nameLength;
  r.isDirectory = temp.isDirectory;
  r.isPackage = temp.isPackage;
  r.categoryHintCode = temp.categoryHintCode;
  r.isRemoved = 0;
  r.parentID = parentID;
  r.firstChildID = temp.childCount > 0 ? firstChildID : 0;
  r.childCount = temp.childCount;
  // Summed over the subtree once every record is written (countSubtrees).
  r.fileCount = temp.isDirectory ? 0 : 1;
  r.directoryCount = 0;
  // A node built in memory may have no name at all (no bytes to point at).
  if (temp.nameLength > 0)
    std::memcpy(names + nameOffset, temp.nameBytes, temp.nameLength);
}

// Copies the children of blocks [begin, end), telling `drain` (if any)
// about each block once copied. Blocks own disjoint record and name ranges,
// so ranges of blocks can be filled concurrently; each range maps its own
// fresh pages as it goes, so that work is shared too.
void fillBlocks(const std::vector<ChildBlock> &blocks, std::size_t begin, std::size_t end, Record *records,
                char *names, std::size_t nodeCount, std::uint64_t nameBytes, TempArenaDrain *drain) {
  if (begin == end)
    return;
  auto recordStart = [&](std::size_t b) {
    return b < blocks.size() ? static_cast<std::size_t>(blocks[b].firstID) : nodeCount;
  };
  auto nameStart = [&](std::size_t b) { return b < blocks.size() ? blocks[b].nameOffset : nameBytes; };
  FaultAhead recordPages(reinterpret_cast<char *>(records), recordStart(begin) * sizeof(Record),
                         recordStart(end) * sizeof(Record));
  FaultAhead namePages(names, nameStart(begin), nameStart(end));
  for (std::size_t b = begin; b < end; ++b) {
    const ChildBlock &block = blocks[b];
    recordPages.reach(recordStart(b + 1) * sizeof(Record));
    namePages.reach(nameStart(b + 1));
    std::uint64_t nameOffset = block.nameOffset;
    std::size_t nextBlock = block.firstChildBlock;
    for (std::size_t k = 0; k < block.children.size(); ++k) {
      const TempTreeNode &child = block.children[k];
      NodeID firstChildID = child.childCount > 0 ? blocks[nextBlock++].firstID : 0;
      writeRecord(records[static_cast<std::size_t>(block.firstID) + k], child, block.parentID, firstChildID,
                  nameOffset, names);
      nameOffset += child.nameLength;
    }
    if (drain)
      drain->consumed(block.children);
  }
}

// Folds every node's file and directory counts into its parent's. A parent
// has a smaller identifier than its children, so one pass from the last
// identifier down sees every subtree complete before its root is added.
void countSubtrees(DiskTreeArena::RecordTable &records) {
  for (std::size_t id = records.size(); id-- > 1;) {
    const Record &child = records[id];
    Record &parent = records[static_cast<std::size_t>(child.parentID)];
    parent.fileCount += child.fileCount;
    parent.directoryCount += child.directoryCount + (child.isDirectory ? 1 : 0);
  }
}

DiskTreeArena freezeBlocks(const TempTreeNode &root, const std::vector<ChildBlock> &blocks, std::string rootPath,
                           unsigned threads, ScanReport report, SharedLinkTable sharedLinks, TempArenaDrain *drain) {
  std::size_t nodeCount = 1;
  std::uint64_t nameBytes = root.nameLength;
  if (!blocks.empty()) {
    const ChildBlock &last = blocks.back();
    nodeCount = static_cast<std::size_t>(last.firstID) + last.children.size();
    nameBytes = last.nameOffset;
    for (const TempTreeNode &child : last.children)
      nameBytes += child.nameLength;
  }
  DiskTreeArena::RecordTable records(nodeCount);
  DiskTreeArena::NamePool names(nameBytes);
  writeRecord(records[0], root, -1, blocks.empty() ? 0 : blocks[0].firstID, 0, names.data());
  if (drain)
    drain->consumed({&root, 1});

  // Contiguous ranges of blocks with about the same number of nodes each.
  unsigned workers = std::clamp<unsigned>(static_cast<unsigned>(nodeCount / nodesPerExtraThread), 1, std::max(1u, threads));
  std::vector<std::size_t> cuts{0};
  for (std::size_t b = 0; b < blocks.size() && cuts.size() < workers; ++b)
    if (static_cast<std::size_t>(blocks[b].firstID) >= nodeCount * cuts.size() / workers)
      cuts.push_back(b);
  cuts.push_back(blocks.size());
  {
    std::vector<std::jthread> helpers;
    helpers.reserve(cuts.size());
    for (std::size_t i = 1; i + 1 < cuts.size(); ++i) {
      try {
        helpers.emplace_back(fillBlocks, std::cref(blocks), cuts[i], cuts[i + 1], records.data(), names.data(),
                             nodeCount, nameBytes, drain);
      } catch (const std::system_error &) {
        // No thread to spare: this range is filled here instead.
        fillBlocks(blocks, cuts[i], cuts[i + 1], records.data(), names.data(), nodeCount, nameBytes, drain);
      }
    }
    fillBlocks(blocks, cuts[0], cuts[1], records.data(), names.data(), nodeCount, nameBytes, drain);
  }
  countSubtrees(records);
  return DiskTreeArena(std::move(rootPath), std::move(records), std::move(names), std::move(report),
                       std::move(sharedLinks));
}

} // namespace

DiskTreeArena freezeTree(const TempTreeNode &root, std::string rootPath, unsigned threads, ScanReport report) {
  return freezeBlocks(root, childBlocksBreadthFirst(root), std::move(rootPath), threads, std::move(report), {},
                      nullptr);
}

DiskTreeArena freezeTree(const TempTreeNode &root, const std::vector<ChildBlock> &blocks, std::string rootPath,
                         unsigned threads, ScanReport report, SharedLinkTable sharedLinks) {
  return freezeBlocks(root, blocks, std::move(rootPath), threads, std::move(report), std::move(sharedLinks), nullptr);
}

DiskTreeArena freezeTree(const TempTreeNode &root, const std::vector<ChildBlock> &blocks, std::string rootPath,
                         unsigned threads, ScanReport report, SharedLinkTable sharedLinks, TempArenaDrain &drain) {
  return freezeBlocks(root, blocks, std::move(rootPath), threads, std::move(report), std::move(sharedLinks), &drain);
}

} // namespace tarnwick
