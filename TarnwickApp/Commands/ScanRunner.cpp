#include "TarnwickApp/Commands/ScanRunner.h"

#include "TarnwickApp/Commands/CommandFailure.h"
#include "TarnwickApp/Commands/ProgressLine.h"
#include "TarnwickCore/Support/ScanErrors.h"

#include <cstdio>
#include <unistd.h>

namespace quillane {

ScanOutcome runScan(const std::string &path, const tarnwick::FastBulkScanner &scanner, bool showProgress,
                    std::stop_token stop) {
  ProgressLine progressLine;
  tarnwick::ProgressHandler handler;
  if (showProgress && ::isatty(STDERR_FILENO))
    handler = [&progressLine](const tarnwick::ScanProgress &progress) { progressLine.show(progress); };
  ScanOutcome outcome;
  try {
    outcome.arena = scanner.scan(path, handler, stop);
  } catch (const tarnwick::ScanCancelledError &) {
    progressLine.clear();
    std::fprintf(stderr, "quillane: scan interrupted\n");
    outcome.failureStatus = 130;
  } catch (...) {
    // Too large a tree, or out of memory or descriptors: no tree at all
    // rather than a short one.
    progressLine.clear();
    outcome.failureStatus = reportCommandFailure("scanning", path);
  }
  progressLine.clear();
  return outcome;
}

} // namespace quillane
