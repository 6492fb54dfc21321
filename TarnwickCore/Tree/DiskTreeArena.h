#pragma once

#include "TarnwickCore/Catalogue/CacheMeasurement.h"
#include "TarnwickCore/Support/DefaultInitAllocator.h"
#include "TarnwickCore/Tree/DiskNode.h"
#include "TarnwickCore/Tree/ScanReport.h"
#include "TarnwickCore/Tree/SharedLinkTable.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

struct TempTreeNode;
struct ChildBlock;

/// The immutable result of a scan: one table of fixed-layout records
/// indexed by NodeID, plus one pool holding every name once. Paths
/// are not stored; queries rebuild them from the names on demand.
///
/// Invariants from the breadth-first freeze: the root is 0, every node's
/// identifier is greater than its parent's, and a node's children carry the
/// consecutive identifiers [firstChildID, firstChildID + childCount), all
/// valid (a removal takes its node out of the range).
///
/// Beside the nodes it keeps the ScanReport of the scan that made it (how
/// long it took, what it skipped, which folders it could not read) and the
/// table of its hard-linked files, both given when it is built.
///
/// Sizes: a file's allocatedSize is its allocated blocks (0 for every name
/// of a hard-linked file but the first); a folder's is its own blocks plus
/// those of its symbolic links (which are not nodes) plus its children's.
///
/// Storage: 32 bytes per node (StoredNode) plus 16 per folder
/// (FolderCounts), in chunks of chunkSize entries shared by reference count
/// with the arenas derived from it; a derivation that changes a few nodes
/// (withoutSubtrees) copies only the chunks it writes, and the name pool is
/// shared whole. Copying an arena is therefore cheap.
///
/// Threads: a finished arena is never modified and may be read concurrently.
class DiskTreeArena {
public:
  /// The fields every node has, stored as they are read: 24 bytes.
  struct NodeFields {
    std::int64_t allocatedSize;
    double modificationTimestamp;
    std::uint64_t nameOffset : 40;
    std::uint64_t nameLength : 16;
    std::uint64_t isDirectory : 1;
    std::uint64_t isPackage : 1;
    /// 0 = no hint, otherwise the category's value + 1.
    std::uint64_t categoryHintCode : 4;
    /// Set on the nodes a derivation took out (withoutSubtrees): they keep
    /// their identifiers but no folder lists them and isValid() denies them.
    std::uint64_t isRemoved : 1;
  };
  /// A node's record as queries read it and builders give it. Counts fit
  /// 32 bits because a table never holds more than 2^31 nodes. Trivial on
  /// purpose (no initializers): builders fill every field.
  struct Record : NodeFields {
    /// -1 for the root.
    NodeID parentID;
    /// 0 when childCount is 0.
    NodeID firstChildID;
    std::uint32_t childCount;
    std::uint32_t fileCount;
    std::uint32_t directoryCount;
  };
  using RecordTable = std::vector<Record, DefaultInitAllocator<Record>>;
  using NamePool = std::vector<char, DefaultInitAllocator<char>>;

  /// How a record is kept: 32 bytes per node. Most nodes are files, whose
  /// four folder fields are always the same (no children, one file, no
  /// folders), so only the nodes that differ from that (every folder) have
  /// a FolderCounts entry, at folderIndex.
  struct StoredNode : NodeFields {
    NodeID parentID;
    /// noFolder for a node with a file's counts.
    std::uint32_t folderIndex;
  };
  struct FolderCounts {
    NodeID firstChildID;
    std::uint32_t childCount;
    std::uint32_t fileCount;
    std::uint32_t directoryCount;
  };
  static constexpr std::uint32_t noFolder = 0xffffffff;
  using StoredNodeTable = std::vector<StoredNode, DefaultInitAllocator<StoredNode>>;
  using FolderTable = std::vector<FolderCounts, DefaultInitAllocator<FolderCounts>>;

  /// Sums every folder's fileCount and directoryCount over its subtree, for
  /// builders of stored tables: each parent precedes its children and has
  /// an entry, whose counts start at 0.
  static void countSubtrees(const StoredNodeTable &nodes, FolderTable &folders);

  /// Whether `r` needs a FolderCounts entry: its folder fields are not a
  /// plain file's.
  static bool needsFolderEntry(const Record &r) {
    return r.isDirectory || r.childCount != 0 || r.firstChildID != 0 || r.fileCount != 1 || r.directoryCount != 0;
  }

  /// An empty arena (no nodes; every query answers empty or absent).
  DiskTreeArena() = default;
  DiskTreeArena(std::string rootPath, RecordTable records, NamePool namePool, ScanReport report = {},
                SharedLinkTable sharedLinks = {});
  /// From tables already in stored form (the freeze writes them directly,
  /// to keep its peak low): every folderIndex other than noFolder names its
  /// own entry of `folders`.
  DiskTreeArena(std::string rootPath, StoredNodeTable nodes, FolderTable folders, NamePool namePool,
                ScanReport report, SharedLinkTable sharedLinks);

  /// The most nodes a table can hold.
  static constexpr std::size_t maxNodeCount = 0x7fffffff;

  std::optional<DiskNode> rootNode() const { return node(rootID); }
  std::optional<DiskNode> node(NodeID id) const;
  /// Direct children, largest first; equal sizes keep identifier order.
  /// At most `limit` of them, and only those are built: the few largest of
  /// a folder of a million entries cost no more than its identifiers.
  std::vector<DiskNode> children(NodeID id, std::size_t limit = std::numeric_limits<std::size_t>::max()) const;
  /// Root first, the node itself last; at most 512 entries (a deeper node's
  /// chain starts at its 511th ancestor).
  std::vector<DiskNode> breadcrumbChain(NodeID id) const;

  /// Whether `id` names a node of this tree: inside the table and not taken
  /// out by a derivation.
  bool isValid(NodeID id) const {
    return id >= 0 && static_cast<std::size_t>(id) < nodeCount_ && !storedNode(id).isRemoved;
  }
  /// The size of the table: every identifier in use is below it. After
  /// withoutSubtrees it also counts the removed nodes (see isValid); the
  /// nodes of the tree are then the root's fileCount + directoryCount + 1.
  std::size_t nodeCount() const { return nodeCount_; }
  const std::string &rootPath() const { return rootPath_; }

  /// Cheap access for whole-tree walks (exporters, statistics); `id` must be
  /// below nodeCount(). Walks that go down through the children's ranges
  /// never meet a removed node; walks over the whole table must skip them.
  /// Assembled on each call: a few loads, no allocation.
  Record record(NodeID id) const {
    const StoredNode &stored = storedNode(id);
    Record r;
    static_cast<NodeFields &>(r) = stored;
    r.parentID = stored.parentID;
    if (stored.folderIndex == noFolder) {
      r.firstChildID = 0;
      r.childCount = 0;
      r.fileCount = 1;
      r.directoryCount = 0;
    } else {
      const FolderCounts &folder = folderCounts(stored.folderIndex);
      r.firstChildID = folder.firstChildID;
      r.childCount = folder.childCount;
      r.fileCount = folder.fileCount;
      r.directoryCount = folder.directoryCount;
    }
    return r;
  }
  /// Every node's name, at the offsets the records give; for derivations
  /// that copy the arena (ArenaEdit).
  const NamePool &namePool() const { return *namePool_; }
  std::string_view name(NodeID id) const;
  std::string path(NodeID id) const;
  std::optional<CleanableCategory> categoryHint(NodeID id) const;

  /// What the scan met besides the nodes: duration, skipped entries and
  /// the folders it could not read.
  const ScanReport &scanReport() const { return report_; }

  /// The files that have several names, with the nodes naming each.
  const SharedLinkTable &sharedLinks() const { return sharedLinks_; }

  /// What removing `id` and everything below it would free, as far as the
  /// scan saw it: the subtree's size, with each hard-linked file counted
  /// apart (SharedFile) with how many of its names lie in the subtree, so
  /// that the files that keep names elsewhere can be told and several
  /// removals settled together. Nothing for an invalid identifier. Costs
  /// one walk up from every name in sharedLinks(), no disk access.
  CacheMeasurement removalMeasurement(NodeID id) const;

  /// Bytes held by the table, the name pool, the report's list and the
  /// shared-link table, counting in full what is shared with other arenas.
  std::size_t memoryBytes() const;

  static constexpr NodeID rootID = 0;
  /// Entries per chunk of either table (32 KiB of nodes, 16 KiB of folder
  /// counts): the unit a derivation copies.
  static constexpr unsigned chunkShift = 10;
  static constexpr std::size_t chunkSize = std::size_t(1) << chunkShift;

  /// Compares every node's twelve fields, the scan reports and the
  /// shared-link tables.
  friend bool operator==(const DiskTreeArena &lhs, const DiskTreeArena &rhs);

private:
  friend class ArenaRecordEditor;

  DiskNode makeNode(NodeID id, std::string nodePath) const;
  const StoredNode &storedNode(NodeID id) const {
    const auto index = static_cast<std::size_t>(id);
    return chunks_[index >> chunkShift].get()[index & (chunkSize - 1)];
  }
  const FolderCounts &folderCounts(std::uint32_t index) const {
    return folderChunks_[index >> chunkShift].get()[index & (chunkSize - 1)];
  }

  std::string rootPath_;
  /// chunks_[k] points at nodes [k * chunkSize, (k + 1) * chunkSize) and
  /// keeps alive the block holding them: the frozen table, or a chunk a
  /// derivation copied; folderChunks_ likewise for the folder counts. Never
  /// written once the arena is built.
  std::vector<std::shared_ptr<StoredNode>> chunks_;
  std::vector<std::shared_ptr<FolderCounts>> folderChunks_;
  std::size_t nodeCount_ = 0;
  std::size_t folderCount_ = 0;
  std::shared_ptr<const NamePool> namePool_ = std::make_shared<const NamePool>();
  ScanReport report_;
  SharedLinkTable sharedLinks_;
};

static_assert(sizeof(DiskTreeArena::NodeFields) == 24, "the shared fields are meant to pack without padding");
static_assert(sizeof(DiskTreeArena::StoredNode) == 32, "a frozen node is meant to stay at 32 bytes");
static_assert(sizeof(DiskTreeArena::FolderCounts) == 16, "a folder's counts are meant to stay at 16 bytes");

/// Numbers the tree under `root` breadth-first into a DiskTreeArena whose
/// root path is `rootPath` and whose scan report is `report`. The tree must
/// already be aggregated and hold at most DiskTreeArena::maxNodeCount nodes.
/// Large trees are copied by up to `threads` threads; the result does not
/// depend on their number.
DiskTreeArena freezeTree(const TempTreeNode &root, std::string rootPath, unsigned threads = 1,
                         ScanReport report = {});
/// The same, reusing `blocks`, the childBlocksBreadthFirst() of `root`, and
/// keeping `sharedLinks` (whose node identifiers are those of the freeze).
DiskTreeArena freezeTree(const TempTreeNode &root, const std::vector<ChildBlock> &blocks, std::string rootPath,
                         unsigned threads, ScanReport report = {}, SharedLinkTable sharedLinks = {});

} // namespace tarnwick
