// What the window benchmarks need besides the window: real folders on disk
// to scan, per-thread scheduler times, resident memory by kind, and
// summaries of repeated timings.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace quillane::bench {

/// A fresh folder under $TMPDIR (or /tmp), removed with everything in it
/// when this object goes away.
class ScratchFolder {
public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder &) = delete;
  ScratchFolder &operator=(const ScratchFolder &) = delete;

  const std::filesystem::path &path() const { return path_; }

private:
  std::filesystem::path path_;
};

/// `count` folders directly below `root`, each holding two files with
/// allocated blocks; the folders' sizes differ by at most a third, so a
/// squarified layout gives every one a tile of about the same size.
void makeSimilarFolders(const std::filesystem::path &root, int count);

/// `count` files directly in `folder` (created if needed), 4 KiB to 64 KiB
/// allocated each, mostly small, in a fixed pseudo-random mix.
void makeWideFolder(const std::filesystem::path &folder, int count);

/// The process's resident set (VmRSS) in bytes; 0 when unreadable.
std::int64_t residentBytes();

/// The time the thread that made it has spent on a CPU and runnable but
/// waiting for one, from /proc/thread-self/schedstat: tells a stall caused
/// by the thread's own work from one caused by a busy machine.
class ThreadSchedulerClock {
public:
  ThreadSchedulerClock();
  ~ThreadSchedulerClock();
  ThreadSchedulerClock(const ThreadSchedulerClock &) = delete;
  ThreadSchedulerClock &operator=(const ThreadSchedulerClock &) = delete;

  struct Reading {
    double runningMs = 0;
    double waitingMs = 0;
  };
  /// Zeros when the kernel does not provide the file.
  Reading read() const;

private:
  int fd_;
};

/// Resident bytes by kind of mapping, from /proc/self/smaps: the main
/// thread's malloc heap, other anonymous memory (large blocks and the malloc
/// arenas of other threads) and files (code, fonts).
struct ResidentBreakdown {
  std::int64_t mainHeap = 0;
  std::int64_t otherAnonymous = 0;
  std::int64_t files = 0;
};
ResidentBreakdown residentBreakdown();

/// Median and maximum of a non-empty sample.
struct Summary {
  double median = 0;
  double worst = 0;
};
Summary summarize(std::vector<double> samples);

} // namespace quillane::bench
