#pragma once

#include "TarnwickCore/Scan/DirectoryEntrySource.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <vector>

namespace tarnwick {

struct TempTreeNode;

/// One directory waiting to be listed, its full path, and the engine to
/// list it with.
struct ScanWorkItem {
  TempTreeNode *directory = nullptr;
  std::string path;
  bool useFileManager = false;
  /// The category-hint rules that occur in `path` (DirectoryHintMatcher).
  std::uint64_t hintMatches = 0;
  /// The device the folder lies on: an entry on another is a mount point.
  std::int64_t device = 0;
  /// Components of `path` below the scanned root (0 for the root).
  int depth = 0;
};

/// The directories of one scan that wait for a walker. First in, first
/// out: the walkers then list the tree about breadth-first, the order the
/// freeze numbers it in, so their arenas fill in about that order and the
/// freeze can free them chunk by chunk as it goes (TempArenaDrain). Last in,
/// first out would leave most chunks partly needed until the freeze's end.
///
/// Walkers waiting in pop() also take slices of the work another walker
/// shares (share()), such as examining the entries of a folder too wide for
/// one walker to get through while the others idle.
///
/// Threads: every member is safe from any thread. pop() blocks until an
/// item is available, every pushed item has been finished, or `stop` fires,
/// running shared slices meanwhile.
class ScanWorkQueue final : public SliceSharing {
public:
  explicit ScanWorkQueue(std::stop_token stop) : stop_(std::move(stop)) {}

  /// Moves `items` into the queue.
  void push(std::span<ScanWorkItem> items);
  /// The next item, or nothing when the scan is complete or stopped.
  std::optional<ScanWorkItem> pop();
  /// Marks one popped item as handled and moves the directories it found
  /// (possibly none) into the queue, under one lock.
  void finish(std::span<ScanWorkItem> found = {});
  /// How many items wait for a walker now.
  std::size_t queuedCount();
  /// The items no walker took, once the walkers are done (after a stop).
  std::deque<ScanWorkItem> takeLeftOver();
  /// Shares the work with the walkers waiting in pop() now, if any; with
  /// none, all of it runs here.
  void share(std::size_t count, std::size_t slice, const SliceWork &work) override;
  /// How many threads wait in pop() now.
  std::size_t idleCount();

private:
  /// One walker's shared work. Lives on that walker's stack until every
  /// helper has left it.
  struct SharedWork {
    const SliceWork &work;
    std::size_t count;
    std::size_t slice;
    std::atomic<std::size_t> next{0};
    std::size_t helpers = 0;  // guarded by mutex_
    /// Runs slices until none is left to claim.
    void runSlices();
  };

  std::stop_token stop_;
  std::mutex mutex_;
  std::condition_variable_any changed_;
  std::deque<ScanWorkItem> items_;  // guarded by mutex_
  std::size_t outstanding_ = 0;     // pushed but not finished; guarded by mutex_
  std::vector<SharedWork *> shared_; // with slices left to claim; guarded by mutex_
  std::size_t idle_ = 0;             // threads waiting in pop(); guarded by mutex_
  std::condition_variable helpersLeft_;
};

} // namespace tarnwick
