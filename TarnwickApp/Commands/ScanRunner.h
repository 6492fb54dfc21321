#pragma once

#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Tree/DiskTreeArena.h"

#include <optional>
#include <stop_token>
#include <string>

namespace quillane {

/// How a command-line scan went: the tree, or the exit status to end with.
struct ScanOutcome {
  std::optional<tarnwick::DiskTreeArena> arena;
  /// 130 when interrupted, 1 when the root could not be read (it does not
  /// exist, is not a folder or cannot be opened), the tree is too large or
  /// memory or file descriptors ran out.
  int failureStatus = 0;
};

/// Scans `path` with `scanner` and a live progress line on standard error
/// (when it is a terminal and `showProgress` is set), stopping when `stop`
/// fires, or keeping the tree read so far when `keep` fires
/// (FastBulkScanner::scan). Failures are reported on standard error; none
/// is thrown.
ScanOutcome runScan(const std::string &path, const tarnwick::FastBulkScanner &scanner, bool showProgress,
                    std::stop_token stop, std::stop_token keep = {});

/// Reads the tree from the export at `source` ("-": standard input) instead
/// of scanning, stopping when `stop` fires. A refused export is reported on
/// standard error with the byte offset of the fault (status 1); none is thrown.
ScanOutcome runImport(const std::string &source, std::stop_token stop);

} // namespace quillane
