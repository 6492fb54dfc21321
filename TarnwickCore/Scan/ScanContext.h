#pragma once

#include "TarnwickCore/Scan/DirectoryEntrySource.h"
#include "TarnwickCore/Scan/ExcludeMatcher.h"
#include "TarnwickCore/Scan/PseudoFileSystemTable.h"
#include "TarnwickCore/Scan/ScanScope.h"
#include "TarnwickCore/Scan/ScanWorkQueue.h"
#include "TarnwickCore/Scan/ShardedHardlinkDeduplicator.h"
#include "TarnwickCore/Scan/ThrottledProgressEmitter.h"
#include "TarnwickCore/Support/Failure.h"
#include "TarnwickCore/Tree/ScanReport.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <mutex>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

/// Everything the walkers of one scan share. Created by the scan, which
/// outlives every walker; the members lock for themselves.
struct ScanContext {
  ScanContext(std::string rootPathIn, ProgressHandler handler, DirectoryEntrySource &batchSourceIn,
              DirectoryEntrySource &fileManagerSourceIn, std::size_t maxNodes, const ScanScope &scope,
              PseudoFileSystemTable mounts)
      : rootPath(std::move(rootPathIn)), emitter(rootPath, 12.0, std::move(handler)),
        pseudoFileSystems(std::move(mounts)), excludes(scope.excludes, scope.excludesBase), oneFileSystem(scope.oneFileSystem),
        includeRemote(scope.includeRemote), queue(stop.get_token()), batchSource(batchSourceIn),
        fileManagerSource(fileManagerSourceIn), maxNodeCount(maxNodes) {}

  bool stopRequested() const { return stop.stop_requested(); }

  /// Ends the walk early and keeps what was read: the walkers stop as a
  /// cancel stops them, but the scan then freezes the tree it has.
  void stopAndKeep() {
    keepPartial.store(true);
    stop.request_stop();
  }

  /// Adds `added` nodes to the scan's count. Past the limit the scan stops
  /// and the answer is false.
  bool countNodes(std::size_t added) {
    if (nodeCount.fetch_add(added, std::memory_order_relaxed) + added <= maxNodeCount)
      return true;
    tooLarge.store(true);
    stop.request_stop();
    return false;
  }

  /// Ends the scan with `error`, which the scan rethrows once every walker
  /// has stopped. The first failure wins; later ones are consequences.
  void fail(std::exception_ptr error) {
    {
      std::lock_guard lock(failureLock_);
      if (!failure_)
        failure_ = std::move(error);
    }
    stop.request_stop();
  }
  /// The failure passed to fail(), if any. Read it after the walkers joined.
  std::exception_ptr failure() {
    std::lock_guard lock(failureLock_);
    return failure_;
  }

  /// Notes why the folder at `path` could not be read completely, among the
  /// first ScanReport::maxUnreadablePaths; past those nothing is kept (the
  /// walkers count every one in their stats). Failures are rare, so one
  /// lock serves every walker.
  void recordUnreadable(std::string_view action, std::string_view path, int error, std::string_view reason = {}) {
    if (unreadableFull_.load(std::memory_order_relaxed))
      return;
    std::lock_guard lock(unreadableLock_);
    if (unreadable_.size() < ScanReport::maxUnreadablePaths)
      unreadable_.push_back({std::string(action), std::string(path), error, std::string(reason)});
    else
      unreadableFull_.store(true, std::memory_order_relaxed);
  }
  /// Notes a mount point left out, among the first
  /// ScanReport::maxSkippedMounts (the walkers count every one).
  void recordSkippedMount(ScanReport::SkippedMount mount) {
    std::lock_guard lock(unreadableLock_);
    if (skippedMounts_.size() < ScanReport::maxSkippedMounts)
      skippedMounts_.push_back(std::move(mount));
  }
  /// What recordSkippedMount() kept. Take it after the walkers joined.
  std::vector<ScanReport::SkippedMount> takeSkippedMounts() {
    std::lock_guard lock(unreadableLock_);
    return std::move(skippedMounts_);
  }

  /// What recordUnreadable() kept, in the order met. Take it after the
  /// walkers joined.
  std::vector<Failure> takeUnreadable() {
    std::lock_guard lock(unreadableLock_);
    return std::move(unreadable_);
  }

  const std::string rootPath;
  std::stop_source stop;
  ShardedHardlinkDeduplicator deduplicator;
  ThrottledProgressEmitter emitter;
  /// Every mounted device's kind, read when the scan starts.
  const PseudoFileSystemTable pseudoFileSystems;
  const ExcludeMatcher excludes;
  const bool oneFileSystem;
  const bool includeRemote;
  ScanWorkQueue queue;
  DirectoryEntrySource &batchSource;
  DirectoryEntrySource &fileManagerSource;
  const std::size_t maxNodeCount;
  std::atomic<std::size_t> nodeCount{1}; // the root
  std::atomic<bool> tooLarge{false};
  /// Set before `stop` by stopAndKeep(): the stop keeps the tree read so far.
  std::atomic<bool> keepPartial{false};
  /// Walkers reading a folder, from opening it to closing it, those still
  /// waiting for a descriptor to open it with included. At most one per
  /// walker: the number of walkers is what bounds the listings under way.
  std::atomic<std::int64_t> listingWalkers{0};
  /// Walkers waiting for a file descriptor to open their folder with. Only
  /// touched when a process runs out of descriptors.
  std::atomic<std::int64_t> descriptorWaiters{0};
  /// The root lies on a pseudo file system: its folders are not entered.
  bool rootOnPseudoFileSystem = false;
  /// The root could not be opened as a folder.
  std::atomic<bool> rootUnreadable{false};

private:
  std::mutex failureLock_;
  std::exception_ptr failure_; // guarded by failureLock_
  std::mutex unreadableLock_;
  std::vector<Failure> unreadable_; // guarded by unreadableLock_
  std::vector<ScanReport::SkippedMount> skippedMounts_; // guarded by unreadableLock_
  std::atomic<bool> unreadableFull_{false};
};

} // namespace tarnwick
