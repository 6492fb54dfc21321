#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

/// One progress report of a running scan.
struct ScanProgress {
  std::string rootPath;
  /// The last file reported, or the directory whose listing just finished;
  /// the root path in the final report.
  std::string currentPath;
  std::int64_t scannedFiles = 0;
  /// Directories whose listing has finished, the root's included.
  std::int64_t scannedDirectories = 0;
  /// Sum of the sizes met so far, as the tree counts them: files (repeated
  /// hard links count 0), folders' own blocks and symbolic links' blocks.
  std::int64_t accumulatedBytes = 0;
  double elapsedSeconds = 0;

  friend bool operator==(const ScanProgress &, const ScanProgress &) = default;
};

} // namespace tarnwick
