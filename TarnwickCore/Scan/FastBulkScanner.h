#pragma once

#include "TarnwickCore/Scan/DirectoryEntrySource.h"
#include "TarnwickCore/Scan/PseudoFileSystemTable.h"
#include "TarnwickCore/Scan/ScanLoadProbe.h"
#include "TarnwickCore/Scan/ScanScope.h"
#include "TarnwickCore/Tree/DiskTreeArena.h"
#include "TarnwickCore/Scan/ThrottledProgressEmitter.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>

namespace tarnwick {

/// Turns a folder on disk into a DiskTreeArena with parallel walkers, one
/// directory listing per work item, at most `maxConcurrentDirectories`
/// listings at a time. Hard-linked files count once, symbolic links are
/// never followed, pseudo file systems (proc, sysfs, …) are not read.
/// Its ScanScope says what else is left out: by default the network file
/// systems and read-only images mounted below the root; mount points it
/// leaves out and entries it excludes are in the arena's scanReport().
///
/// Sizes are allocated blocks (st_blocks × 512) as the file system reports
/// them: every file once, every folder's own blocks, and the blocks of the
/// symbolic links a folder holds (a link is no node, so they count in the
/// folder's own size). The root's total is then what `du -s -B1` reports
/// for the same tree.
///
/// Threads: a scanner holds no state between scans; scan() may run on
/// several threads at once, each scan with its own walkers.
class FastBulkScanner {
public:
  /// The most directories a scan reads at once.
  static constexpr std::int64_t concurrencyCap = 32;

  /// `maxConcurrentDirectories` is clamped to 1…32.
  explicit FastBulkScanner(std::int64_t maxConcurrentDirectories = 8,
                           bool forceFileManagerFallback = false);

  /// Scans the tree at `rootURL` (an absolute path, or a file:// URL).
  /// `progressHandler` is called on walker threads (the calling thread is
  /// one of them), at most 12 times a second plus once at the end.
  ///
  /// Failing to read part of the tree does not fail the scan: a folder that
  /// cannot be opened (the root included: missing, not a folder, not
  /// permitted), a listing that breaks off, an entry that cannot be
  /// examined leave what could be read in the tree, and the arena's
  /// scanReport() says which folders fell short and why. Entries that
  /// vanish meanwhile are simply gone.
  ///
  /// The scan itself fails only by exception, because there is then no tree
  /// at all, and the failure usually arises on a walker thread deep in the
  /// walk: ScanCancelledError when `stop` is triggered, ScanTooLargeError
  /// when the tree exceeds 2^31 - 1 nodes, ScanResourceError when memory or
  /// file descriptors run out (a shortage of descriptors is first waited
  /// out). Walker threads the system will not start are done without, down
  /// to the calling thread alone.
  ///
  /// `keep` ends the walk early without failing it: the walkers take no new
  /// folder, keep what they listed of the folder in hand, and the tree read
  /// so far is frozen. Each folder not listed to its end is then among the
  /// unreadable ones (reason ScanReport::stoppedReason) and the report's
  /// stoppedAfterEntries is set; a walk already complete stays whole.
  /// `stop` wins over `keep`. Each costs the walkers one atomic load per
  /// folder listed (and per batch of entries).
  DiskTreeArena scan(const std::string &rootURL, ProgressHandler progressHandler = {},
                     std::stop_token stop = {}, std::stop_token keep = {}) const;

  const std::int64_t maxConcurrentDirectories;
  const bool forceFileManagerFallback;

  /// Lets a scan add walkers, up to `ceiling` in all (clamped to
  /// maxConcurrentDirectories…32), while those running mostly wait on the
  /// device: a cold cache or a slow file system reads faster with more
  /// listings in flight. Not on a rotational disk, whose walkers stay few.
  void setConcurrencyCeiling(std::int64_t ceiling);
  std::int64_t concurrencyCeiling() const { return concurrencyCeiling_; }
  /// What tells the scan how busy the process and the machine are
  /// (sampleSystemLoad() unless replaced).
  void setLoadProbe(ScanLoadProbe probe) { loadProbe_ = std::move(probe); }

  /// What the scans made afterwards leave out.
  void setScope(ScanScope scope) { scope_ = std::move(scope); }
  const ScanScope &scope() const { return scope_; }

  /// Test seams: the batch engine's entry source, the node limit, the
  /// mount table (else /proc/self/mountinfo, read by every scan) and where
  /// the kernel describes block devices (else /sys). A replaced entry source
  /// keeps its own order on every device.
  void setEntrySource(std::shared_ptr<DirectoryEntrySource> source) {
    entrySource_ = std::move(source);
    entrySourceReplaced_ = true;
  }
  void setSysRoot(std::string sysRoot) { sysRoot_ = std::move(sysRoot); }
  void setMaxNodeCount(std::size_t limit) { maxNodeCount_ = limit; }
  void setMounts(PseudoFileSystemTable mounts) { mounts_ = std::move(mounts); }

private:
  DiskTreeArena walkAndFreeze(const std::string &givenPath, const std::string &rootPath,
                              ProgressHandler progressHandler, std::stop_token stop, std::stop_token keep,
                              std::chrono::steady_clock::time_point start) const;

  std::shared_ptr<DirectoryEntrySource> entrySource_;
  bool entrySourceReplaced_ = false;
  std::string sysRoot_ = "/sys";
  std::size_t maxNodeCount_ = DiskTreeArena::maxNodeCount;
  ScanScope scope_;
  std::int64_t concurrencyCeiling_;
  ScanLoadProbe loadProbe_ = sampleSystemLoad;
  std::optional<PseudoFileSystemTable> mounts_;
};

} // namespace tarnwick
