#include "TarnwickApp/Commands/ScanCommand.h"

#include "TarnwickApp/Commands/AtomicOutputFile.h"
#include "TarnwickApp/Commands/CommandFailure.h"
#include "TarnwickApp/Commands/InterruptWatcher.h"
#include "TarnwickApp/Commands/NcduJsonWriter.h"
#include "TarnwickApp/Commands/OutputClash.h"
#include "TarnwickApp/Commands/OutputPlacement.h"
#include "TarnwickApp/Commands/ScanReportJson.h"
#include "TarnwickApp/Commands/ScanRunner.h"
#include "TarnwickApp/Commands/TextFormat.h"
#include "TarnwickCore/Support/ByteCountFormat.h"
#include "TarnwickCore/Support/RealPath.h"
#include "TarnwickCore/Support/ScopeExit.h"
#include "TarnwickCore/Support/UserEnvironment.h"
#include "TarnwickCore/Tree/ArenaEdit.h"

#include <algorithm>
#include <array>
#include <csignal>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <optional>
#include <unistd.h>
#include <vector>

namespace quillane {
namespace {

using tarnwick::DiskTreeArena;
using tarnwick::Failure;
using tarnwick::Result;

// Unreadable folders the summary names before it only counts the rest.
constexpr std::size_t unreadableShown = 10;

// The patterns of an exclude file, one a line.
Result<std::vector<std::string>> readExcludeFile(const std::string &path) {
  std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(std::fopen(path.c_str(), "re"), &std::fclose);
  if (!file)
    return Failure::fromErrno("read the exclude file", path);
  std::vector<std::string> patterns;
  char *line = nullptr;
  std::size_t capacity = 0;
  const tarnwick::ScopeExit freeLine([&line] { std::free(line); });
  for (ssize_t length; (length = ::getline(&line, &capacity, file.get())) >= 0;) {
    std::string_view pattern(line, static_cast<std::size_t>(length));
    while (pattern.ends_with('\n') || pattern.ends_with('\r'))
      pattern.remove_suffix(1);
    if (pattern.find_first_not_of(" \t") == std::string_view::npos || pattern.starts_with('#'))
      continue;
    patterns.emplace_back(pattern);
  }
  if (std::ferror(file.get()))
    return Failure::fromErrno("read the exclude file", path);
  return patterns;
}

std::optional<int> parseCount(std::string_view text, int minimum, int maximum) {
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < minimum || value > maximum)
    return std::nullopt;
  return value;
}

// The first unreadable folders, each with why, then how many more there are.
void printUnreadable(const tarnwick::ScanReport &report) {
  if (report.unreadablePaths.empty())
    return;
  std::printf("\nNot read completely:\n");
  const std::size_t shown = std::min(report.unreadablePaths.size(), unreadableShown);
  for (std::size_t i = 0; i < shown; ++i)
    std::printf("  %s\n", printableText(report.unreadablePaths[i].message()).c_str());
  if (auto more = report.unreadableFolderCount - static_cast<std::int64_t>(shown); more > 0)
    std::printf("  and %s more\n", groupDigits(more).c_str());
}

// The first mount points left out, each with its type and why.
void printSkippedMounts(const tarnwick::ScanReport &report) {
  if (report.skippedMounts.empty())
    return;
  using Reason = tarnwick::ScanReport::SkippedMount::Reason;
  std::printf("\nMount points not entered:\n");
  const std::size_t shown = std::min(report.skippedMounts.size(), unreadableShown);
  for (std::size_t i = 0; i < shown; ++i) {
    const tarnwick::ScanReport::SkippedMount &mount = report.skippedMounts[i];
    const char *why = mount.reason == Reason::remote  ? "network file system; --include-remote enters it"
                      : mount.reason == Reason::image ? "read-only image; --include-remote enters it"
                                                      : "another file system";
    const std::string type = mount.fileSystemType.empty() ? std::string("unknown type") : mount.fileSystemType;
    std::printf("  %s (%s, %s)\n", printableText(mount.path).c_str(), printableText(type).c_str(), why);
  }
  if (auto more = report.skippedMountCount - static_cast<std::int64_t>(shown); more > 0)
    std::printf("  and %s more\n", groupDigits(more).c_str());
}

// The line that says a tree is not whole, or nothing.
std::string partialLine(const tarnwick::ScanReport &report) {
  if (!report.stoppedAfterEntries)
    return {};
  return "partial: stopped after " + groupDigits(*report.stoppedAfterEntries) + " entries";
}

void printSummary(const DiskTreeArena &arena, int top) {
  const tarnwick::ScanReport &report = arena.scanReport();
  auto root = arena.rootNode();
  std::int64_t total = root->allocatedSize;
  if (const std::string partial = partialLine(report); !partial.empty())
    std::printf("%s\n", partial.c_str());
  std::printf("Root:              %s\n", printableText(arena.rootPath()).c_str());
  std::printf("Total size:        %s bytes (%s)\n", groupDigits(total).c_str(),
              tarnwick::formatByteCount(total).c_str());
  std::printf("Files:             %s\n", groupDigits(root->fileCount).c_str());
  std::printf("Directories:       %s\n", groupDigits(root->directoryCount).c_str());
  std::printf("Skipped symlinks:  %s\n", groupDigits(report.skippedSymlinkCount).c_str());
  std::printf("Dataless:          %s\n", groupDigits(report.skippedDatalessCount).c_str());
  std::printf("Inaccessible:      %s\n", groupDigits(report.unreadableFolderCount).c_str());
  std::printf("Excluded:          %s\n", groupDigits(report.excludedCount).c_str());
  std::printf("Skipped mounts:    %s\n", groupDigits(report.skippedMountCount).c_str());
  std::printf("Duration:          %.3f s\n", report.durationSeconds);
  printUnreadable(report);
  printSkippedMounts(report);
  if (top <= 0 || root->childIDs.empty())
    return;
  std::printf("\nLargest items:\n");
  for (const tarnwick::DiskNode &child : arena.children(arena.rootID, static_cast<std::size_t>(top))) {
    double share = total > 0 ? 100.0 * static_cast<double>(child.allocatedSize) / static_cast<double>(total) : 0;
    std::printf("  %12s  %5.1f%%  %s%s\n", tarnwick::formatByteCount(child.allocatedSize).c_str(), share,
                printableText(child.name).c_str(), child.isDirectory ? "/" : "");
  }
}

// Completes `file`, whose text was `written` in full or not, or says why
// it could not be: 0 or 1.
// An output written inside the scanned folder lies in the tree as its
// temporary, empty then and gone once the output is in place: a file the
// summary and the exports must not count.
void leaveOutTemporaries(DiskTreeArena &arena, std::initializer_list<const std::optional<AtomicOutputFile> *> outputs) {
  std::vector<tarnwick::NodeID> temporaries;
  for (const std::optional<AtomicOutputFile> *output : outputs) {
    if (!*output || (*output)->temporaryPath().empty())
      continue;
    const std::optional<std::string> real = tarnwick::realPath((*output)->temporaryPath());
    if (const auto id = real ? tarnwick::findNodeByPath(arena, *real) : std::nullopt)
      temporaries.push_back(*id);
  }
  if (!temporaries.empty())
    arena = tarnwick::withoutSubtrees(arena, temporaries);
}

int completeOrSayWhy(AtomicOutputFile &file, bool written, const std::string &destination) {
  Result<void> completed = written ? file.complete() : Result<void>(Failure::fromErrno("write", destination));
  if (completed)
    return 0;
  std::fprintf(stderr, "quillane: %s\n", printableText(completed.failure().message()).c_str());
  // Said here: the command line's last look at standard output must not
  // say it again.
  if (file.writesToStandardOutput())
    std::clearerr(stdout);
  return 1;
}

int scanAndReport(const ScanOptions &options, const tarnwick::FastBulkScanner &scanner, const std::string &path,
                  const std::string &home) {
  // A closed pipe on standard output is a write error to report, not a
  // reason to die with the temporary JSON file left behind.
  std::signal(SIGPIPE, SIG_IGN);
  // Watch for Ctrl-C before the temporary output exists: a signal in
  // between would otherwise kill the process and leave the file behind.
  // With --keep-partial the first signal ends the walk but keeps the tree;
  // a second one still ends the process (InterruptWatcher).
  std::stop_source stop, keep;
  InterruptWatcher interrupts(options.keepPartial ? keep : stop);
  // Open the outputs first, so a bad destination fails before a long scan.
  std::optional<AtomicOutputFile> json, reportJson;
  for (auto [destination, output] : {std::pair{&options.jsonDestination, &json},
                                     std::pair{&options.reportDestination, &reportJson}}) {
    if (!*destination)
      continue;
    Result<AtomicOutputFile> opened = AtomicOutputFile::open(
        **destination, [&home](const std::string &place) { return protectedPlaceRefusal(place, home); });
    if (!opened) {
      std::fprintf(stderr, "quillane: %s\n", printableText(opened.failure().message()).c_str());
      return 1;
    }
    output->emplace(std::move(*opened));
  }
  interrupts.setCleanup([temporaries = std::array{json ? json->temporaryPath() : std::string(),
                                                  reportJson ? reportJson->temporaryPath() : std::string()}] {
    for (const std::string &temporary : temporaries)
      if (!temporary.empty())
        ::unlink(temporary.c_str());
  });
  ScanOutcome scanned = options.importSource ? runImport(*options.importSource, stop.get_token())
                                             : runScan(path, scanner, !options.quiet, stop.get_token(),
                                                       keep.get_token());
  if (!scanned.arena)
    return scanned.failureStatus;
  leaveOutTemporaries(*scanned.arena, {&json, &reportJson});
  const DiskTreeArena &arena = *scanned.arena;
  const bool stoppedHere = keep.stop_requested() && arena.scanReport().stoppedAfterEntries;

  if (!(json && json->writesToStandardOutput()) && !(reportJson && reportJson->writesToStandardOutput())) {
    printSummary(arena, options.top);
    printLargestFiles(arena, static_cast<std::size_t>(options.largest));
    if (options.types)
      printFileTypes(arena);
  } else if (stoppedHere) {
    std::fprintf(stderr, "quillane: %s\n", partialLine(arena.scanReport()).c_str());
  }
  // Both outputs are written before either is put in place, so a failed
  // one leaves the other's destination as it was.
  int status = 0;
  if (reportJson) {
    const bool written = writeScanReportJson(arena, static_cast<std::size_t>(options.largest ? options.largest : 100),
                                             reportJson->stream());
    status = completeOrSayWhy(*reportJson, written, *options.reportDestination);
  }
  if (json && status == 0) {
    bool written = writeNcduJson(arena, json->stream());
    // Writing a large tree takes a while; a Ctrl-C meanwhile must still
    // mean "no file", not a silently completed one.
    if (written && stop.stop_requested()) {
      std::fprintf(stderr, "quillane: interrupted while writing the JSON\n");
      return 130;
    }
    status = completeOrSayWhy(*json, written, *options.jsonDestination);
  }
  for (std::optional<AtomicOutputFile> *output : {&reportJson, &json})
    if (status == 0 && *output)
      if (Result<void> committed = (*output)->commit(); !committed) {
        std::fprintf(stderr, "quillane: %s\n", printableText(committed.failure().message()).c_str());
        status = 1;
      }
  return stop.stop_requested() ? 130 : status != 0 ? status : stoppedHere ? 3 : 0;
}

} // namespace

QList<QCommandLineOption> scanScopeOptions() {
  return {
      {{"x", "one-file-system"}, "do not enter mount points below PATH"},
      {"exclude",
       "leave out what GLOB matches: a name, or with '/' a path below PATH; a trailing '/': folders only; "
       "repeatable",
       "GLOB"},
      {"exclude-from", "the same for each GLOB in FILE, one a line ('#' comments and blank lines skipped)", "FILE"},
      {"include-remote", "also enter network file systems and read-only images mounted below PATH"},
  };
}

Result<tarnwick::ScanScope> scanScopeFrom(const CommandArguments &arguments) {
  tarnwick::ScanScope scope;
  scope.oneFileSystem = arguments.isSet("one-file-system");
  scope.includeRemote = arguments.isSet("include-remote");
  for (const std::string &pattern : arguments.values("exclude")) {
    if (pattern.empty())
      return Failure::because("--exclude needs a pattern");
    scope.excludes.push_back(pattern);
  }
  for (const std::string &file : arguments.values("exclude-from")) {
    if (file.empty())
      return Failure::because("--exclude-from needs a file name");
    Result<std::vector<std::string>> patterns = readExcludeFile(file);
    if (!patterns)
      return patterns.failure();
    scope.excludes.insert(scope.excludes.end(), patterns->begin(), patterns->end());
  }
  return scope;
}

const CommandSyntax &scanCommandSyntax() {
  static const CommandSyntax syntax(
      "scan", {"scan [PATH] [OPTION]...", "scan --import FILE|- [OPTION]..."},
      "Scan PATH (default: your home folder) and print its size and largest items.",
      QList<QCommandLineOption>{
          {"top", "how many of the largest direct children to list (default 10)", "N"},
          {"largest", "also list the N largest files anywhere below PATH", "N"},
          {"types", "also list the space each file type (extension) takes"},
          {"json", "also write the whole tree as JSON that ncdu -f and gdu -f open", "FILE|-"},
          {"report-json", "also write the summary, the largest files (N, default 100) and the file types as JSON",
           "FILE|-"},
          {"concurrency", "directories read at once, 1 to 32 (default 8, rising to 32 while the disk keeps them waiting)", "N"},
          {"file-manager", "use the slower portable directory listing"},
          {"quiet", "no live progress line"},
          {"keep-partial", "on Ctrl-C or SIGTERM, stop and report the tree read so far, marked partial "
                           "(exit status 3)"},
          {"import", "read the tree from an export (ncdu -o, gdu -o, scan --json; plain, gzip or zstd); "
                     "- reads standard input",
           "FILE|-"},
      } + scanScopeOptions());
  return syntax;
}

Result<ScanOptions> scanOptionsFrom(const CommandArguments &arguments) {
  ScanOptions options;
  for (const char *name : {"top", "concurrency", "largest"}) {
    const std::optional<std::string> text = arguments.value(name);
    if (!text)
      continue;
    const bool isConcurrency = std::string_view(name) == "concurrency";
    const std::optional<int> count = isConcurrency ? parseCount(*text, 1, 32) : parseCount(*text, 0, 1'000'000);
    if (!count)
      return Failure::because("--" + std::string(name) +
                              (isConcurrency ? " needs a whole number from 1 to 32" : " needs a whole number from 0 to 1000000"));
    (isConcurrency ? options.concurrency : name == std::string_view("top") ? options.top : options.largest) = *count;
    if (isConcurrency)
      options.concurrencyCeiling = *count;
  }
  for (auto [name, destination] : {std::pair{"json", &options.jsonDestination},
                                   std::pair{"report-json", &options.reportDestination},
                                   std::pair{"import", &options.importSource}}) {
    *destination = arguments.value(name);
    if (*destination && (*destination)->empty())
      return Failure::because("--" + std::string(name) + " needs a file name, or - for standard " +
                              (destination == &options.importSource ? "input" : "output"));
  }
  options.types = arguments.isSet("types");
  options.fileManager = arguments.isSet("file-manager");
  options.quiet = arguments.isSet("quiet");
  options.keepPartial = arguments.isSet("keep-partial");
  Result<tarnwick::ScanScope> scope = scanScopeFrom(arguments);
  if (!scope)
    return scope.failure();
  options.scope = std::move(*scope);
  if (arguments.positional().size() > 1)
    return Failure::because("only one PATH can be scanned at a time");
  if (!arguments.positional().empty())
    options.path = arguments.positional().front();
  if (options.jsonDestination == "-" && options.reportDestination == "-")
    return Failure::because("--json and --report-json cannot both write to standard output");
  if (std::optional<std::string> clash =
          outputClash({{"json", &options.jsonDestination}, {"report-json", &options.reportDestination}}))
    return Failure::because(*clash);
  if (options.importSource) {
    // The tree comes as it was exported: nothing here chooses what it holds.
    if (!options.path.empty())
      return Failure::because("--import reads the tree from its file; give no PATH with it");
    const tarnwick::ScanScope &scope = options.scope;
    if (options.keepPartial)
      return Failure::because("--keep-partial applies to scans, not to --import");
    if (scope.oneFileSystem || scope.includeRemote || !scope.excludes.empty())
      return Failure::because("-x, --exclude, --exclude-from and --include-remote apply to scans, not to --import");
  }
  return options;
}

int runScanCommand(const ScanOptions &options, const tarnwick::FastBulkScanner &scanner,
                   const tarnwick::UserEnvironment &user) {
  const std::string path = options.importSource ? *options.importSource
                           : tarnwick::absoluteUserPath(options.path.empty() ? user.homeDirectory : options.path);
  try {
    return scanAndReport(options, scanner, path, user.homeDirectory);
  } catch (...) {
    // Out of memory or threads outside the scan itself (writing the JSON,
    // starting the interrupt watcher): the output's temporary is gone with
    // the unwinding.
    return reportCommandFailure(options.importSource ? "importing" : "scanning", path);
  }
}

} // namespace quillane
