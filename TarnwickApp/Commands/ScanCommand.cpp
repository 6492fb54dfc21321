#include "TarnwickApp/Commands/ScanCommand.h"

#include "TarnwickApp/Commands/ArgumentCursor.h"
#include "TarnwickApp/Commands/AtomicOutputFile.h"
#include "TarnwickApp/Commands/CommandFailure.h"
#include "TarnwickApp/Commands/InterruptWatcher.h"
#include "TarnwickApp/Commands/NcduJsonWriter.h"
#include "TarnwickApp/Commands/ScanRunner.h"
#include "TarnwickApp/Commands/TextFormat.h"
#include "TarnwickCore/Support/UserEnvironment.h"
#include "TarnwickCore/Support/ByteCountFormat.h"

#include <cerrno>
#include <csignal>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace quillane {
namespace {

using tarnwick::DiskTreeArena;

std::optional<int> parseCount(std::string_view text, int minimum, int maximum) {
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < minimum || value > maximum)
    return std::nullopt;
  return value;
}

void printSummary(const DiskTreeArena &arena, int top) {
  auto root = arena.rootNode();
  std::int64_t total = root->allocatedSize;
  std::printf("Root:              %s\n", printableText(arena.rootPath()).c_str());
  std::printf("Total size:        %s bytes (%s)\n", groupDigits(total).c_str(),
              tarnwick::formatByteCount(total).c_str());
  std::printf("Files:             %s\n", groupDigits(root->fileCount).c_str());
  std::printf("Directories:       %s\n", groupDigits(root->directoryCount).c_str());
  std::printf("Skipped symlinks:  %s\n", groupDigits(arena.skippedSymlinkCount).c_str());
  std::printf("Dataless:          %s\n", groupDigits(arena.skippedDatalessCount).c_str());
  std::printf("Inaccessible:      %s\n", groupDigits(arena.inaccessibleCount).c_str());
  std::printf("Duration:          %.3f s\n", arena.scanDurationSeconds);
  if (top <= 0 || root->childIDs.empty())
    return;
  std::printf("\nLargest items:\n");
  int shown = 0;
  for (const tarnwick::DiskNode &child : arena.children(arena.rootID)) {
    if (shown++ == top)
      break;
    double share = total > 0 ? 100.0 * static_cast<double>(child.allocatedSize) / static_cast<double>(total) : 0;
    std::printf("  %12s  %5.1f%%  %s%s\n", tarnwick::formatByteCount(child.allocatedSize).c_str(), share,
                printableText(child.name).c_str(), child.isDirectory ? "/" : "");
  }
}

int scanAndReport(const ScanOptions &options, const tarnwick::FastBulkScanner &scanner, const std::string &path) {
  // A closed pipe on standard output is a write error to report, not a
  // reason to die with the temporary JSON file left behind.
  std::signal(SIGPIPE, SIG_IGN);
  // Watch for Ctrl-C before the temporary output exists: a signal in
  // between would otherwise kill the process and leave the file behind.
  std::stop_source stop;
  InterruptWatcher interrupts(stop);
  // Open the output first, so a bad destination fails before a long scan.
  std::unique_ptr<AtomicOutputFile> json;
  if (options.jsonDestination) {
    json = std::make_unique<AtomicOutputFile>(*options.jsonDestination);
    if (!json->isOpen()) {
      std::fprintf(stderr, "quillane: %s\n", json->error().c_str());
      return 1;
    }
    interrupts.setCleanup([temporary = json->temporaryPath()] {
      if (!temporary.empty())
        ::unlink(temporary.c_str());
    });
  }
  ScanOutcome scanned = runScan(path, scanner, !options.quiet, stop.get_token());
  if (!scanned.arena)
    return scanned.failureStatus;
  const std::optional<DiskTreeArena> &arena = scanned.arena;

  if (!(json && json->writesToStandardOutput()))
    printSummary(*arena, options.top);
  int status = 0;
  std::string reason;
  if (!rootIsReadable(arena->rootPath(), reason)) {
    std::fprintf(stderr, "quillane: cannot read %s: %s\n", printableText(arena->rootPath()).c_str(),
                 reason.c_str());
    status = 1;
  }
  bool jsonWritten = json && writeNcduJson(*arena, json->stream());
  // Writing a large tree takes a while; a Ctrl-C meanwhile must still mean
  // "no file", not a silently completed one.
  if (jsonWritten && stop.stop_requested()) {
    std::fprintf(stderr, "quillane: interrupted while writing the JSON\n");
    return 130;
  }
  if (json && (!jsonWritten || !json->commit())) {
    std::fprintf(stderr, "quillane: %s\n",
                 json->error().empty() ? std::strerror(errno) : json->error().c_str());
    status = 1;
  }
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "quillane: cannot write standard output: %s\n", std::strerror(errno));
    status = 1;
  }
  return stop.stop_requested() ? 130 : status;
}

} // namespace

std::optional<ScanOptions> parseScanOptions(std::span<char *const> arguments, std::string &error) {
  ScanOptions options;
  ArgumentCursor cursor(arguments);
  while (cursor.next()) {
    std::string_view argument = cursor.current();
    if (argument == "--top" || argument == "--concurrency") {
      auto text = cursor.value(error);
      if (!text)
        return std::nullopt;
      bool isTop = argument == "--top";
      auto count = isTop ? parseCount(*text, 0, 1'000'000) : parseCount(*text, 1, 32);
      if (!count) {
        error = isTop ? "--top needs a whole number from 0" : "--concurrency needs a whole number from 1 to 32";
        return std::nullopt;
      }
      (isTop ? options.top : options.concurrency) = *count;
    } else if (argument == "--json") {
      auto text = cursor.value(error);
      if (!text)
        return std::nullopt;
      if (text->empty()) {
        error = "--json needs a file name, or - for standard output";
        return std::nullopt;
      }
      options.jsonDestination = std::string(*text);
    } else if (argument == "--file-manager" && !cursor.hasInlineValue()) {
      options.fileManager = true;
    } else if (argument == "--quiet" && !cursor.hasInlineValue()) {
      options.quiet = true;
    } else if (cursor.isOption()) {
      error = "unknown option " + std::string(argument);
      return std::nullopt;
    } else if (!cursor.takePath(options.path, error, "scanned")) {
      return std::nullopt;
    }
  }
  return options;
}

int runScanCommand(const ScanOptions &options, const tarnwick::FastBulkScanner &scanner,
                   const tarnwick::UserEnvironment &user) {
  const std::string path = tarnwick::absoluteUserPath(options.path.empty() ? user.homeDirectory : options.path);
  try {
    return scanAndReport(options, scanner, path);
  } catch (...) {
    // Out of memory or threads outside the scan itself (writing the JSON,
    // starting the interrupt watcher): the output's temporary is gone with
    // the unwinding.
    return reportCommandFailure("scanning", path);
  }
}

} // namespace quillane
