#include "TarnwickCore/Tree/ChildBlockWalk.h"
#include "TarnwickCore/Tree/DiskTreeArena.h"
#include "TarnwickCore/Tree/TempArenaDrain.h"
#include "TarnwickCore/Support/PrefaultPages.h"
#include "TarnwickCore/Support/ScanErrors.h"

#include <algorithm>
#include <cstring>
#include <stop_token>
#include <system_error>
#include <thread>

namespace tarnwick {
namespace {

using StoredNode = DiskTreeArena::StoredNode;
using FolderCounts = DiskTreeArena::FolderCounts;

// Below this many nodes a second thread costs more than it saves.
constexpr std::size_t nodesPerExtraThread = 50'000;
// How many blocks are copied between two looks at the stop request: a few
// milliseconds of copying at most.
constexpr std::size_t blocksPerStopCheck = 256;
// How many nodes of one block are copied at a time (100 KiB of temporary
// nodes): their share of the frozen tables is mapped before, and the drain
// told after.
constexpr std::size_t nodesPerPiece = 2560;
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

// Where one range of blocks writes: the stored nodes, folder entries and
// names of the frozen tree, each range owning disjoint parts of all three.
struct FrozenTables {
  StoredNode *nodes;
  FolderCounts *folders;
  char *names;
};

void writeNode(const FrozenTables &out, std::size_t id, const TempTreeNode &temp, NodeID parentID,
               NodeID firstChildID, std::uint64_t nameOffset, std::uint32_t folderIndex) {
  StoredNode &r = out.nodes[id];
  r.allocatedSize = temp.allocatedSize;
  r.modificationTimestamp = temp.modificationTimestamp;
  r.nameOffset = nameOffset;
  r.nameLength = temp.nameLength;
  r.isDirectory = temp.isDirectory;
  r.isPackage = temp.isPackage;
  r.categoryHintCode = temp.categoryHintCode;
  r.isRemoved = 0;
  r.parentID = parentID;
  r.folderIndex = isFolderNode(temp) ? folderIndex : DiskTreeArena::noFolder;
  // The counts are summed over the subtree once every node is written
  // (countSubtrees).
  if (r.folderIndex != DiskTreeArena::noFolder)
    out.folders[folderIndex] = {temp.childCount > 0 ? firstChildID : 0, temp.childCount, 0, 0};
  // A node built in memory may have no name at all (no bytes to point at).
  if (temp.nameLength > 0)
    std::memcpy(out.names + nameOffset, temp.nameBytes, temp.nameLength);
}

// Where the next child of a block goes: the block of its own children, its
// name's offset and its folder entry.
struct PieceCursor {
  std::size_t nextBlock;
  std::uint64_t nameOffset;
  std::uint32_t folderIndex;
};

// Writes `piece`, the children of `block` from its `first` on.
void writePiece(const std::vector<ChildBlock> &blocks, const ChildBlock &block, std::size_t first,
                std::span<const TempTreeNode> piece, const FrozenTables &out, PieceCursor &at) {
  for (std::size_t k = 0; k < piece.size(); ++k) {
    const TempTreeNode &child = piece[k];
    NodeID firstChildID = child.childCount > 0 ? blocks[at.nextBlock++].firstID : 0;
    writeNode(out, static_cast<std::size_t>(block.firstID) + first + k, child, block.parentID, firstChildID,
              at.nameOffset, at.folderIndex);
    at.nameOffset += child.nameLength;
    at.folderIndex += isFolderNode(child) ? 1 : 0;
  }
}

// The ends of the tables: how many nodes, names and folder entries.
struct TableSizes {
  std::size_t nodes;
  std::uint64_t nameBytes;
  std::uint32_t folders;
};

// Copies the children of blocks [begin, end), telling `drain` (if any)
// about each block once copied, and gives up early once `stop` is
// requested. Blocks own disjoint node, folder and name ranges, so ranges of
// blocks can be filled concurrently; each range maps its own fresh pages as
// it goes, so that work is shared too.
void fillBlocks(const std::vector<ChildBlock> &blocks, std::size_t begin, std::size_t end, FrozenTables out,
                TableSizes sizes, TempArenaDrain *drain, std::stop_token stop) {
  if (begin == end)
    return;
  auto nodeStart = [&](std::size_t b) {
    return b < blocks.size() ? static_cast<std::size_t>(blocks[b].firstID) : sizes.nodes;
  };
  auto nameStart = [&](std::size_t b) { return b < blocks.size() ? blocks[b].nameOffset : sizes.nameBytes; };
  auto folderStart = [&](std::size_t b) {
    return std::size_t(b < blocks.size() ? blocks[b].firstFolder : sizes.folders);
  };
  FaultAhead nodePages(reinterpret_cast<char *>(out.nodes), nodeStart(begin) * sizeof(StoredNode),
                       nodeStart(end) * sizeof(StoredNode));
  FaultAhead folderPages(reinterpret_cast<char *>(out.folders), folderStart(begin) * sizeof(FolderCounts),
                         folderStart(end) * sizeof(FolderCounts));
  FaultAhead namePages(out.names, nameStart(begin), nameStart(end));
  for (std::size_t b = begin; b < end; ++b) {
    if ((b - begin) % blocksPerStopCheck == 0 && stop.stop_requested())
      return;
    const ChildBlock &block = blocks[b];
    PieceCursor at{block.firstChildBlock, block.nameOffset, block.firstFolder};
    // A wide folder's block is copied, mapped and given back piece by
    // piece: whole, its copy would be mapped, and it kept, at once.
    for (std::size_t first = 0; first < block.children.size(); first += nodesPerPiece) {
      const std::span<const TempTreeNode> piece(block.children.data() + first,
                                                std::min(nodesPerPiece, block.children.size() - first));
      std::uint64_t nameEnd = at.nameOffset;
      std::size_t folderEnd = at.folderIndex;
      for (const TempTreeNode &child : piece) {
        nameEnd += child.nameLength;
        folderEnd += isFolderNode(child) ? 1 : 0;
      }
      nodePages.reach((static_cast<std::size_t>(block.firstID) + first + piece.size()) * sizeof(StoredNode));
      folderPages.reach(folderEnd * sizeof(FolderCounts));
      namePages.reach(nameEnd);
      writePiece(blocks, block, first, piece, out, at);
      if (drain)
        drain->consumed(piece);
    }
  }
}

TableSizes tableSizes(const TempTreeNode &root, const std::vector<ChildBlock> &blocks) {
  TableSizes sizes{1, root.nameLength, isFolderNode(root) ? 1u : 0u};
  if (blocks.empty())
    return sizes;
  const ChildBlock &last = blocks.back();
  sizes.nodes = static_cast<std::size_t>(last.firstID) + last.children.size();
  sizes.nameBytes = last.nameOffset;
  sizes.folders = last.firstFolder;
  for (const TempTreeNode &child : last.children) {
    sizes.nameBytes += child.nameLength;
    sizes.folders += isFolderNode(child) ? 1 : 0;
  }
  return sizes;
}

DiskTreeArena freezeBlocks(const TempTreeNode &root, const std::vector<ChildBlock> &blocks, std::string rootPath,
                           unsigned threads, ScanReport report, SharedLinkTable sharedLinks, TempArenaDrain *drain,
                           std::stop_token stop = {}) {
  const TableSizes sizes = tableSizes(root, blocks);
  DiskTreeArena::StoredNodeTable nodes(sizes.nodes);
  DiskTreeArena::FolderTable folders(sizes.folders);
  DiskTreeArena::NamePool names(sizes.nameBytes);
  const FrozenTables out{nodes.data(), folders.data(), names.data()};
  writeNode(out, 0, root, -1, blocks.empty() ? 0 : blocks[0].firstID, 0, 0);
  if (drain)
    drain->consumed({&root, 1});

  // Contiguous ranges of blocks with about the same number of nodes each.
  const std::size_t nodeCount = sizes.nodes;
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
        helpers.emplace_back(fillBlocks, std::cref(blocks), cuts[i], cuts[i + 1], out, sizes, drain, stop);
      } catch (const std::system_error &) {
        // No thread to spare: this range is filled here instead.
        fillBlocks(blocks, cuts[i], cuts[i + 1], out, sizes, drain, stop);
      }
    }
    fillBlocks(blocks, cuts[0], cuts[1], out, sizes, drain, stop);
  }
  // Some blocks may be left uncopied: nothing of the tables may be read.
  if (stop.stop_requested())
    throw ScanCancelledError();
  DiskTreeArena::countSubtrees(nodes, folders);
  return DiskTreeArena(std::move(rootPath), std::move(nodes), std::move(folders), std::move(names),
                       std::move(report), std::move(sharedLinks));
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
                         unsigned threads, ScanReport report, SharedLinkTable sharedLinks, TempArenaDrain &drain,
                         std::stop_token stop) {
  return freezeBlocks(root, blocks, std::move(rootPath), threads, std::move(report), std::move(sharedLinks), &drain,
                      std::move(stop));
}

} // namespace tarnwick
