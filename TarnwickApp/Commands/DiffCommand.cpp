#include "TarnwickApp/Commands/DiffCommand.h"

#include "TarnwickApp/Commands/CommandFailure.h"
#include "TarnwickApp/Commands/InterruptWatcher.h"
#include "TarnwickApp/Commands/TextFormat.h"
#include "TarnwickCore/Diff/ScanTreeFile.h"
#include "TarnwickCore/Diff/TreeComparison.h"
#include "TarnwickCore/Support/ByteCountFormat.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace quillane {
namespace {

using tarnwick::ScanTreeFile;
using tarnwick::SizeChange;
using tarnwick::TreeComparison;
using Json = nlohmann::ordered_json;

// Seconds since 1970 in UTC, to the minute for people or to the second,
// ISO 8601, for JSON; nothing for a time no calendar date holds.
std::optional<std::string> utcTime(std::optional<std::int64_t> seconds, const char *format) {
  if (!seconds)
    return std::nullopt;
  const auto whole = static_cast<std::time_t>(*seconds);
  std::tm utc{};
  char text[40] = "";
  if (!::gmtime_r(&whole, &utc) || std::strftime(text, sizeof text, format, &utc) == 0)
    return std::nullopt;
  return text;
}

// "+4.7 MB", "-12 KB", "0 bytes".
std::string signedByteCount(std::int64_t bytes) {
  if (bytes == 0)
    return "0 bytes";
  // Appended rather than prepended: gcc 12 at -O3 warns falsely about "+" + std::string.
  std::string text(1, bytes > 0 ? '+' : '-');
  text += tarnwick::formatByteCount(bytes > 0 ? bytes : -bytes);
  return text;
}

std::int64_t rootBytes(const tarnwick::DiskTreeArena &arena) {
  return arena.nodeCount() ? arena.record(tarnwick::DiskTreeArena::rootID).allocatedSize : 0;
}

void printSide(const char *label, const ScanTreeFile &file) {
  const std::optional<std::string> date = utcTime(file.scanTime, "%Y-%m-%d %H:%M UTC");
  const std::string when = date ? "scanned " + *date : std::string("date unknown");
  std::printf("%s %s (%s, %s)\n", label, printableText(file.arena.rootPath()).c_str(),
              tarnwick::formatByteCount(rootBytes(file.arena)).c_str(), when.c_str());
}

void printText(const ScanTreeFile &older, const ScanTreeFile &newer, const TreeComparison &comparison,
               const std::vector<SizeChange> &changes) {
  printSide("Older:", older);
  printSide("Newer:", newer);
  const std::int64_t total = comparison.totalDifference();
  std::printf("Change: %s (%s bytes)\n", signedByteCount(total).c_str(), groupDigits(total).c_str());
  if (changes.empty()) {
    std::printf("\nNo changes.\n");
    return;
  }
  std::printf("\n  %12s  %12s  %12s  %s\n", "Before", "After", "Difference", "Path");
  for (const SizeChange &change : changes)
    std::printf("  %12s  %12s  %12s  %s%s\n",
                change.before ? tarnwick::formatByteCount(*change.before).c_str() : "new",
                change.after ? tarnwick::formatByteCount(*change.after).c_str() : "gone",
                signedByteCount(change.difference()).c_str(), printableText(change.path).c_str(),
                change.isDirectory ? "/" : "");
}

Json sideJson(const std::string &file, const ScanTreeFile &tree) {
  const std::optional<std::string> date = utcTime(tree.scanTime, "%Y-%m-%dT%H:%M:%SZ");
  return {{"file", file},
          {"root", tree.arena.rootPath()},
          {"scanned", date ? Json(*date) : Json()},
          {"bytes", rootBytes(tree.arena)}};
}

void writeJson(const DiffOptions &options, const ScanTreeFile &older, const ScanTreeFile &newer,
               const TreeComparison &comparison, const std::vector<SizeChange> &changes) {
  const auto bytesOrNull = [](const std::optional<std::int64_t> &bytes) { return bytes ? Json(*bytes) : Json(); };
  Json rows = Json::array();
  for (const SizeChange &change : changes)
    rows.push_back({{"path", change.path},
                    {"directory", change.isDirectory},
                    {"before", bytesOrNull(change.before)},
                    {"after", bytesOrNull(change.after)},
                    {"difference", change.difference()}});
  const Json document = {{"schema", "quillane-diff"},
                         {"version", 1},
                         {"older", sideJson(options.olderFile, older)},
                         {"newer", sideJson(options.newerFile, newer)},
                         {"difference", comparison.totalDifference()},
                         {"changes", std::move(rows)}};
  const std::string text = document.dump(2, ' ', false, Json::error_handler_t::replace) + '\n';
  std::fwrite(text.data(), 1, text.size(), stdout);
}

// The tree in `file`, or nothing once its failure is said (or `stop` was requested).
std::optional<ScanTreeFile> readTree(const std::string &file, std::stop_token stop) {
  ScanTreeFile::Outcome read = ScanTreeFile::read(file, stop);
  if (stop.stop_requested())
    return std::nullopt;
  if (auto *failure = std::get_if<tarnwick::ScanTreeFileError>(&read)) {
    std::fprintf(stderr, "quillane: cannot read %s as a scan: %s\n", printableText(file).c_str(),
                 printableText(failure->detail).c_str());
    return std::nullopt;
  }
  return std::move(std::get<ScanTreeFile>(read));
}

int interrupted() {
  std::fprintf(stderr, "quillane: comparison interrupted\n");
  return 130;
}

int compareFiles(const DiffOptions &options) {
  std::signal(SIGPIPE, SIG_IGN); // a closed pipe is a write error to report
  std::stop_source stop;
  InterruptWatcher interrupts(stop);
  const std::optional<ScanTreeFile> older = readTree(options.olderFile, stop.get_token());
  if (!older)
    return stop.stop_requested() ? interrupted() : 1;
  const std::optional<ScanTreeFile> newer = readTree(options.newerFile, stop.get_token());
  if (!newer)
    return stop.stop_requested() ? interrupted() : 1;
  const std::optional<TreeComparison> comparison =
      TreeComparison::compare(older->arena, newer->arena, stop.get_token());
  if (!comparison || stop.stop_requested())
    return interrupted();
  const std::vector<SizeChange> changes = comparison->largestChanges(static_cast<std::size_t>(options.top));
  // Standard output's errors are the caller's to report
  // (withStandardOutputFlushed).
  if (options.json)
    writeJson(options, *older, *newer, *comparison, changes);
  else
    printText(*older, *newer, *comparison, changes);
  return 0;
}

} // namespace

const CommandSyntax &diffCommandSyntax() {
  static const CommandSyntax syntax(
      "diff", {"diff OLD NEW [OPTION]..."},
      "Show what changed between two scans (snapshots or exports), largest change first.",
      {{"top", "how many changed entries to list (default 10)", "N"},
       {"json", "write the changes as JSON, sizes in exact bytes"}});
  return syntax;
}

tarnwick::Result<DiffOptions> diffOptionsFrom(const CommandArguments &arguments) {
  DiffOptions options;
  if (const std::optional<std::string> text = arguments.value("top")) {
    int value = -1;
    const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
    if (error != std::errc() || end != text->data() + text->size() || value < 0 || value > 1'000'000)
      return tarnwick::Failure::because("--top needs a whole number from 0 to 1000000");
    options.top = value;
  }
  options.json = arguments.isSet("json");
  if (arguments.positional().size() != 2)
    return tarnwick::Failure::because("diff needs two scan files, OLD and NEW");
  options.olderFile = arguments.positional()[0];
  options.newerFile = arguments.positional()[1];
  if (options.olderFile.empty() || options.newerFile.empty())
    return tarnwick::Failure::because("diff needs two file names");
  if (options.olderFile == "-" && options.newerFile == "-")
    return tarnwick::Failure::because("only one of OLD and NEW can be read from standard input");
  return options;
}

int runDiffCommand(const DiffOptions &options) {
  try {
    return compareFiles(options);
  } catch (...) {
    return reportCommandFailure("comparing", options.olderFile + " and " + options.newerFile);
  }
}

} // namespace quillane
