#pragma once

#include "TarnwickCore/Catalogue/PathRules.h"
#include "TarnwickCore/Import/ChunkStore.h"
#include "TarnwickCore/Import/ExportReadError.h"
#include "TarnwickCore/Import/NcduEntry.h"
#include "TarnwickCore/Tree/DiskTreeArena.h"
#include "TarnwickCore/Tree/ScanReport.h"
#include "TarnwickCore/Tree/SharedLinkTable.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarnwick {

/// Builds the tree from the entries of an export as the reader meets them,
/// depth first, into the records a scan's freeze gives: hard links settled
/// (each file's bytes once, at its first name breadth-first), totals
/// aggregated, nodes numbered breadth-first.
///
/// Memory: the entries of the open folders are gathered in lists shared by
/// all of them, each folder's after its parent's, and a folder's become one
/// block of final records when it closes; the blocks, in the order they
/// closed, and the names live in fixed-size chunks. The breadth-first table
/// is filled from them in that order, each chunk given back once copied, so
/// the peak stays near one copy of the finished tree. An open folder costs
/// one small frame besides its own record and name, never the C++ stack.
///
/// Every method that can refuse the input returns the refusal, with the
/// offset it is given; after a refusal the builder is not used again.
///
/// Threads: one reader.
class NcduTreeBuilder {
public:
  explicit NcduTreeBuilder(std::size_t maxNodeCount = DiskTreeArena::maxNodeCount);

  /// gdu marks only the second and later names of a file as hard links and
  /// leaves the first unmarked, so a marked entry there is a repeat worth 0.
  void setMarksRepeatedLinksOnly(bool repeatsOnly) { repeatsOnly_ = repeatsOnly; }
  /// The export holds a scan stopped early, after `entries` entries
  /// (ScanReport::stoppedAfterEntries); its metadata says so.
  void setStoppedAfterEntries(std::int64_t entries) { report_.stoppedAfterEntries = entries; }
  /// When the export was written (ScanReport::exportedAt).
  void setExportedAt(std::int64_t seconds) { report_.exportedAt = seconds; }

  /// The root folder's info; `entry.name` is the scanned path.
  std::optional<ExportReadError> openRoot(const NcduEntry &entry, std::uint64_t offset);
  /// A folder in the folder open now; it is open until closeFolder().
  std::optional<ExportReadError> openFolder(const NcduEntry &entry, std::uint64_t offset);
  /// A file (or excluded entry) in the folder open now.
  std::optional<ExportReadError> addFile(const NcduEntry &entry, std::uint64_t offset);
  /// Ends the folder open now.
  std::optional<ExportReadError> closeFolder(std::uint64_t offset);

  /// Whether a root was opened and every folder closed since.
  bool complete() const { return rootOpened_ && frames_.empty(); }
  /// The tree, once complete(); `seconds` is how long reading took. Leaves
  /// the builder empty.
  DiskTreeArena finish(double seconds);

private:
  using Record = DiskTreeArena::Record;
  /// A file that may share its data with other names.
  struct PendingLink {
    /// Its index in openChildren_, then its place in the record store.
    std::uint32_t position;
    std::uint64_t device;
    std::uint64_t inode;
    std::uint64_t linkCount;
    std::int64_t size;
  };
  /// One open folder: where its entries begin in the shared lists, which
  /// run to the next open folder's. Its entries' records hold, until it
  /// closes, their names' offsets in openNames_, and for a folder with
  /// entries the index of its block in firstChildID.
  struct Frame {
    std::uint64_t namesStart;
    std::uint64_t device;
    /// The hint rules its path matches, to rebuild hints_ when it is the
    /// innermost open folder again.
    std::uint64_t hintMatches;
    /// path_'s length before this folder's name was appended.
    std::size_t parentPathLength;
    std::uint32_t childrenStart;
    std::uint32_t linksStart;
    bool unreadableNoted;
  };
  /// The entries of one folder, stored consecutively.
  struct Block {
    std::uint32_t start;
    std::uint32_t count;
    /// Set when the blocks are numbered.
    NodeID firstID = 0;
    NodeID parentID = 0;
  };

  std::optional<ExportReadError> checkName(const NcduEntry &entry, std::uint64_t offset) const;
  std::optional<ExportReadError> countNode(const NcduEntry &entry, std::uint64_t offset);
  /// A child of the folder open now, with its name and hint set; the
  /// catalogue's matches for it go to `hintMatches` when given.
  Record &appendChild(const NcduEntry &entry, std::uint64_t offset, std::uint64_t *hintMatches = nullptr);
  void pushFrame(std::uint64_t device, std::uint64_t hintMatches, std::size_t parentPathLength);
  void noteUnreadable(Frame &frame, const char *action);
  std::string childPath(std::string_view name) const;
  std::optional<ExportReadError> findDuplicate(const Frame &frame);
  /// The folder's own record: the root's, or its entry in its parent's list.
  Record &openRecord();
  void numberBlocks();
  DiskTreeArena::NamePool takeNames();
  DiskTreeArena::RecordTable takeRecords();
  SharedLinkTable settleLinks(DiskTreeArena::RecordTable &table);

  std::size_t maxNodeCount_;
  bool repeatsOnly_ = false;
  bool rootOpened_ = false;
  Record root_{};
  std::string rootPath_;
  /// The open folders, outermost first: a deque, which grows without a
  /// spare half or a copy and gives its room back as folders close.
  std::deque<Frame> frames_;
  /// The entries of the open folders (see Frame), with where each ended in
  /// the text (to place a duplicate), their names, and their files that may
  /// share data with other names.
  std::vector<Record> openChildren_;
  std::vector<std::uint64_t> openOffsets_;
  std::string openNames_;
  std::vector<PendingLink> openLinks_;
  /// The hint rules begun by the innermost open folder's path: one for all
  /// levels, as it is rebuilt cheaply from path_ and Frame::hintMatches.
  std::optional<DirectoryHintMatcher> hints_;
  /// The path of the folder open now.
  std::string path_;
  /// The blocks of the folders closed so far, in the order they closed.
  ChunkStore<Record> records_;
  /// Their names, the root's first.
  ChunkStore<char> names_;
  std::vector<Block> blocks_;
  std::vector<PendingLink> linkedFiles_;
  std::vector<std::pair<std::string_view, std::uint32_t>> sortedNames_;
  std::size_t nodeCount_ = 0;
  std::uint64_t nameBytes_ = 0;
  std::int64_t totalBytes_ = 0;
  ScanReport report_;
};

} // namespace tarnwick
