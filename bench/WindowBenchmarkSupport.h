// What the window benchmarks need besides the window: real folders on disk
// to scan, resident memory, and summaries of repeated timings.
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

/// Median and maximum of a non-empty sample.
struct Summary {
  double median = 0;
  double worst = 0;
};
Summary summarize(std::vector<double> samples);

} // namespace quillane::bench
