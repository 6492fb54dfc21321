#pragma once

#include "TarnwickCore/Scan/DirectoryStats.h"
#include "TarnwickCore/Scan/EntryFacts.h"
#include "TarnwickCore/Scan/HardLinkResolution.h"
#include "TarnwickCore/Scan/ScanWorkQueue.h"
#include "TarnwickCore/Tree/TempNodeArena.h"
#include "TarnwickCore/Tree/TempNodeStaging.h"

#include <memory>
#include <string>
#include <vector>

namespace tarnwick {

struct ScanContext;
class DirectoryEntryReader;
class DirectoryHintMatcher;

/// One worker of a scan: takes directories from the scan's queue, lists
/// each with the batch engine (or the file-manager engine where the volume
/// refuses batch reading), turns the entries into child nodes in its own
/// arena, and queues the child directories.
///
/// Threads: run() executes on the walker's own thread; the arena and stats
/// may be read by others only after run() has returned. run() never throws:
/// a failure (out of memory, out of descriptors) ends the whole scan through
/// ScanContext::fail().
class DirectoryWalker {
public:
  explicit DirectoryWalker(ScanContext &context);
  ~DirectoryWalker();
  DirectoryWalker(const DirectoryWalker &) = delete;
  DirectoryWalker &operator=(const DirectoryWalker &) = delete;

  void run();

  const DirectoryStats &stats() const { return stats_; }
  /// The nodes and names this walker created, for handing over once run()
  /// has returned.
  TempNodeArena &arena() { return arena_; }
  /// Directories whose children this walker linked in: one child block each.
  std::size_t blockCount() const { return blockCount_; }
  /// The multiply linked files this walker met.
  std::vector<LinkedFile> &linkedFiles() { return linkedFiles_; }

private:
  enum class ReadOutcome { complete, unsupported, inaccessible, cancelled };
  struct BatchTally {
    std::int64_t files = 0;
    /// Of files, directories and symbolic links alike.
    std::int64_t bytes = 0;
    std::string_view lastFileName;
  };

  void walk(const ScanWorkItem &item);
  ReadOutcome read(DirectoryEntryReader &reader, bool checkEveryEntry, std::uint64_t hintMatches);
  /// After `reader` failed to open the directory with `error`: waits out a
  /// shortage of descriptors and retries. False when the directory itself
  /// cannot be opened, `error` then holding the last errno (or the scan
  /// stopped meanwhile); throws ScanResourceError when descriptors stay
  /// exhausted, std::bad_alloc when the kernel is out of memory.
  bool reopenAfterShortage(DirectoryEntryReader &reader, int &error);
  /// Counts the directory being read as unreadable and tells the scan why.
  void noteUnreadable(std::string_view action, int error);
  /// Counts the directory being read as left unfinished by a stop.
  void noteUnfinished();
  void addEntry(const EntryFacts &facts, const DirectoryHintMatcher &hints, BatchTally &tally);
  /// Whether to list the folder `facts` names, a mount point (on another
  /// device than the folder being read) that becomes `node`. A mount point
  /// left out is counted, told to the scan and emptied to 0 bytes.
  bool entersMount(const EntryFacts &facts, TempTreeNode &node);
  void reportBatch(const BatchTally &tally);
  void commitChildren(TempTreeNode &directory, bool useFileManager);

  ScanContext &context_;
  std::unique_ptr<DirectoryEntryReader> batchReader_;
  std::unique_ptr<DirectoryEntryReader> fileManagerReader_;
  TempNodeArena arena_;
  DirectoryStats stats_;
  std::size_t blockCount_ = 0;
  /// The first failure met while reading the directory (its listing broke
  /// off, or an entry could not be inspected): what failed, or null, and
  /// its errno.
  const char *unreadableAction_ = nullptr;
  int unreadableError_ = 0;
  // Reused across directories so the hot path does not allocate.
  std::vector<EntryFacts> batch_;
  TempNodeStaging pending_;
  struct PendingLink {
    std::uint32_t index;
    std::int64_t device;
    std::uint64_t inode;
    std::int64_t size;
    std::uint64_t linkCount;
  };
  struct PendingDirectory {
    std::uint32_t index;
    std::uint64_t hintMatches;
    std::int64_t device;
  };
  std::vector<PendingDirectory> pendingDirectories_;
  std::vector<PendingLink> pendingLinks_;
  /// Blocks of the symbolic links of the directory being read: they are no
  /// nodes, so they count in the directory's own size.
  std::int64_t pendingLinkBytes_ = 0;
  std::vector<LinkedFile> linkedFiles_;
  std::vector<ScanWorkItem> childItems_;
  std::string directoryPath_;
  /// The folder being read: its device, and its path below the root (a
  /// view into directoryPath_) with the number of components.
  std::int64_t directoryDevice_ = 0;
  std::string_view relativeFolder_;
  int depth_ = 0;
  std::string filePath_;
};

} // namespace tarnwick
