#pragma once

#include "TarnwickCore/Scan/ScanProgress.h"

#include <mutex>

namespace quillane {

/// A one-line live status on standard error ("12,345 files · 678 folders ·
/// 1.2 GB · /current/path"), redrawn in place and cut to the terminal width.
///
/// Threads: show() may be called from any thread; calls are serialized.
class ProgressLine {
public:
  void show(const tarnwick::ScanProgress &progress);
  /// Erases the line.
  void clear();

private:
  std::mutex mutex_;
  bool drawn_ = false; // guarded by mutex_
};

} // namespace quillane
