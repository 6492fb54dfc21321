#include "TarnwickApp/Commands/ScanRunner.h"

#include "TarnwickApp/Commands/CommandFailure.h"
#include "TarnwickApp/Commands/ProgressLine.h"
#include "TarnwickApp/Commands/TextFormat.h"
#include "TarnwickCore/Import/NcduExportReader.h"
#include "TarnwickCore/Support/ScanErrors.h"

#include <cstdio>
#include <unistd.h>

namespace quillane {

ScanOutcome runScan(const std::string &path, const tarnwick::FastBulkScanner &scanner, bool showProgress,
                    std::stop_token stop, std::stop_token keep) {
  ProgressLine progressLine;
  tarnwick::ProgressHandler handler;
  if (showProgress && ::isatty(STDERR_FILENO))
    handler = [&progressLine](const tarnwick::ScanProgress &progress) { progressLine.show(progress); };
  ScanOutcome outcome;
  try {
    outcome.arena = scanner.scan(path, handler, stop, keep);
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
  if (outcome.arena && !outcome.arena->scanReport().rootReadable) {
    // Nothing was scanned: a tree of one empty folder would read as a
    // summary of zeros. Sorted by path, the root's own failure comes first.
    const tarnwick::ScanReport &report = outcome.arena->scanReport();
    const std::string why =
        report.unreadablePaths.empty() ? "not readable" : report.unreadablePaths.front().explanation();
    std::fprintf(stderr, "quillane: cannot read %s: %s\n", printableText(outcome.arena->rootPath()).c_str(),
                 why.c_str());
    outcome.arena.reset();
    outcome.failureStatus = 1;
  }
  return outcome;
}

ScanOutcome runImport(const std::string &source, std::stop_token stop) {
  ScanOutcome outcome;
  try {
    tarnwick::NcduExportReader::Outcome read = tarnwick::NcduExportReader::readFile(source, stop);
    if (stop.stop_requested()) {
      std::fprintf(stderr, "quillane: import interrupted\n");
      outcome.failureStatus = 130;
    } else if (const auto *error = std::get_if<tarnwick::ExportReadError>(&read)) {
      const std::string name = source == "-" ? std::string("standard input") : source;
      std::fprintf(stderr, "quillane: cannot import %s: %s\n", printableText(name).c_str(),
                   printableText(error->message()).c_str());
      outcome.failureStatus = 1;
    } else {
      outcome.arena = std::get<tarnwick::DiskTreeArena>(std::move(read));
    }
  } catch (...) {
    // Out of memory or threads while freezing the tree.
    outcome.failureStatus = reportCommandFailure("importing", source);
  }
  return outcome;
}

} // namespace quillane
