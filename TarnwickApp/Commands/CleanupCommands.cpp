#include "TarnwickApp/Commands/CleanupCommands.h"

#include "TarnwickApp/Commands/CommandFailure.h"
#include "TarnwickApp/Commands/InterruptWatcher.h"
#include "TarnwickApp/Commands/RemovalSpace.h"
#include "TarnwickApp/Commands/TextFormat.h"
#include "TarnwickApp/Commands/TrashContentsCommands.h"
#include "TarnwickApp/Commands/UninterruptibleMoves.h"
#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Access/FullDiskAccessCoordinator.h"
#include "TarnwickCore/Support/PathJoin.h"
#include "TarnwickCore/Deletion/DeletionGuard.h"
#include "TarnwickCore/Deletion/FreedesktopTrash.h"
#include "TarnwickCore/Deletion/MeasuredCleaning.h"
#include "TarnwickCore/Deletion/SafeCleaningEngine.h"
#include "TarnwickCore/Deletion/TrashCatalogue.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <cstdio>
#include <sys/stat.h>

namespace quillane {
namespace {

using namespace tarnwick;

// How many times each path is listed, to read a report in the order the
// paths were given even when one is given twice.
class PathCounts {
public:
  explicit PathCounts(const std::vector<std::string> &paths) {
    for (const std::string &path : paths)
      ++counts_[path];
  }
  bool take(const std::string &path) {
    auto found = counts_.find(path);
    if (found == counts_.end() || found->second == 0)
      return false;
    --found->second;
    return true;
  }

private:
  std::map<std::string, int> counts_;
};

// Why a path never reached the engine: refused by the guard (blocked), or
// could not be measured (failed).
struct Refusal {
  std::string reason;
  bool blocked = true;
};

// Whether a strict ancestor of `path` is among `paths`.
bool coveredByAnother(const std::string &path, const std::set<std::string> &paths) {
  for (auto slash = path.rfind('/'); slash != std::string::npos && slash > 0; slash = path.rfind('/', slash - 1))
    if (paths.contains(path.substr(0, slash)))
      return true;
  return false;
}

// "." and ".." name a folder by where one stands, never by its own name:
// "trash ." would take away the working folder. Why such a path is refused,
// or nothing.
std::optional<std::string> dotNameRefusal(std::string_view path) {
  while (path.size() > 1 && path.ends_with('/'))
    path.remove_suffix(1);
  const std::string_view last = path.substr(path.rfind('/') + 1);
  if (last != "." && last != "..")
    return std::nullopt;
  return "a path ending in \".\" or \"..\" is refused: name the folder itself";
}

// What lies in a Trash goes only by the Trash's own commands, which keep
// each item with its record; the engine refuses it too, but only after
// measuring. Why the approved path is refused for that, or nothing (also
// when that cannot be told: the engine then says why it stays).
std::optional<std::string> inTrashRefusal(const FreedesktopTrash &trash, const ApprovedDeletion &approved,
                                          bool permanent) {
  const Result<bool> inTrash = trash.liesInATrash(approved.realPath, permanent);
  if (!inTrash || !*inTrash)
    return std::nullopt;
  if (!permanent)
    return "it is already in the Trash";
  return "it is in the Trash; to remove it for good, empty the Trash with quillane trash --empty "
         "(which removes everything in it)";
}

void printOutcomes(const std::vector<CleanableItem> &items, const std::map<std::size_t, Refusal> &refusals,
                   const SafeCleaningReport &report, bool permanent) {
  PathCounts cleaned(report.cleanedPaths), handled(report.alreadyHandledPaths), blocked(report.blockedProtectedPaths);
  for (std::size_t i = 0; i < items.size(); ++i) {
    const std::string &path = items[i].path;
    const std::string shown = printableText(path);
    auto error = report.errors.find(path);
    if (auto refusal = refusals.find(i); refusal != refusals.end()) {
      std::printf("%-8s %s: %s\n", refusal->second.blocked ? "blocked" : "failed", shown.c_str(),
                  printableText(refusal->second.reason).c_str());
    } else if (cleaned.take(path)) {
      std::printf("%-8s %s\n", permanent ? "removed" : "trashed", shown.c_str());
      if (auto kept = report.keptPaths.find(path); kept != report.keptPaths.end())
        for (const std::string &keptPath : kept->second)
          std::printf("kept     %s (session file)\n", printableText(keptPath).c_str());
    } else if (handled.take(path)) {
      std::printf("skipped  %s: already handled above\n", shown.c_str());
    } else if (error != report.errors.end()) {
      std::printf("%-8s %s: %s\n", blocked.take(path) ? "blocked" : "failed", shown.c_str(),
                  printableText(error->second).c_str());
    } else {
      std::printf("skipped  %s: not reached, interrupted\n", shown.c_str());
    }
  }
}

enum class TrashMode { move, permanent, list, restore, empty };

struct TrashOptions {
  TrashMode mode = TrashMode::move;
  bool json = false;
  bool yes = false;
  std::vector<std::string> paths;
};

// "quillane trash *" in a folder holding a file named like an option puts
// it among the arguments: a pattern, not the user, would choose what
// happens. Why `option` is refused for that, or nothing.
std::optional<std::string> patternRefusal(std::string_view option) {
  struct stat st;
  const std::string name(option);
  if (::lstat(name.c_str(), &st) != 0)
    return std::nullopt;
  const std::string refusal = "a file named \"" + name + "\" is in this folder, so this may be a shell pattern's doing: ";
  if (option == "--permanent" || option == "--restore")
    return refusal + "type " + name + " before the paths and \"--\" before any pattern, or name that file as ./" + name;
  return refusal + "run it from another folder";
}

constexpr std::pair<const char *, TrashMode> modeOptions[] = {
    {"permanent", TrashMode::permanent}, {"list", TrashMode::list}, {"restore", TrashMode::restore},
    {"empty", TrashMode::empty}};

// Options come first, so that a file named "--permanent" that a shell
// pattern expands among the paths cannot turn a move to the Trash into a
// removal; "--" ends the options. A usage error is a Failure.
Result<TrashOptions> trashOptionsFrom(const CommandArguments &arguments) {
  bool pathSeen = false;
  for (const std::string &argument : arguments.raw()) {
    if (argument == "--")
      break;
    const bool looksLikeOption = argument.starts_with('-') && argument != "-";
    if (looksLikeOption && pathSeen)
      return Failure::because(argument + " comes after a PATH: options go first, and \"--\" goes before a PATH "
                                         "that starts with '-'");
    pathSeen = !looksLikeOption;
    const bool choosesWhatHappens =
        argument == "--yes" || std::any_of(std::begin(modeOptions), std::end(modeOptions),
                                           [&](const auto &mode) { return argument == "--" + std::string(mode.first); });
    if (choosesWhatHappens)
      if (std::optional<std::string> refusal = patternRefusal(argument))
        return Failure::because(*refusal);
  }
  TrashOptions options;
  for (const auto &[name, mode] : modeOptions) {
    if (!arguments.isSet(name))
      continue;
    if (options.mode != TrashMode::move)
      return Failure::because("--permanent, --list, --restore and --empty go one at a time");
    options.mode = mode;
  }
  options.json = arguments.isSet("json");
  options.yes = arguments.isSet("yes");
  options.paths = arguments.positional();
  const bool takesPaths = options.mode != TrashMode::list && options.mode != TrashMode::empty;
  if (options.json && options.mode != TrashMode::list)
    return Failure::because("--json goes with --list");
  if (options.yes && options.mode != TrashMode::empty)
    return Failure::because("--yes goes with --empty");
  if (!takesPaths && !options.paths.empty())
    return Failure::because(std::string(options.mode == TrashMode::list ? "--list" : "--empty") + " takes no PATH");
  if (takesPaths && options.paths.empty())
    return Failure::because("trash needs at least one PATH");
  return options;
}

// Moves the paths to the Trash, or removes them, through the guard and the engine.
int cleanPaths(const std::vector<std::string> &paths, bool permanent, SafeCleaningEngine &engine,
               UninterruptibleMoves &moves, const FastBulkScanner &scanner, const FreedesktopTrash &trash) {
  std::vector<CleanableItem> items;
  // The user named these paths, so they count as confirmed, like nodes
  // chosen in the explorer.
  for (const std::string &path : paths)
    items.push_back({Uuid::random(), std::string(lastPathComponent(path)), "", path, 0, CleanableCategory::userCache,
                     true, false, std::nullopt, {}});
  std::stop_source stopSource;
  InterruptWatcher watcher(stopSource);
  const std::stop_token stop = stopSource.get_token();
  const std::string &home = engine.homeDirectory();
  // A forced exit cuts a removal short: what it left, and where, is all
  // the user will hear.
  watcher.setCleanup([&moves] {
    for (const Failure &left : moves.holdForExit())
      std::fprintf(stderr, "quillane: %s\n", printableText(left.message()).c_str());
  });

  // Validate first: a refused path is never measured, and measuring (a
  // folder may hold millions of files) can be interrupted.
  const ProtectedSnapshot protectedNow =
      ProtectedLocations::snapshot(DeletionGuard::standardize(home), GuardFileFacts::system());
  std::map<std::size_t, Refusal> refusals;
  std::set<std::string> approvedPaths;
  std::map<std::string, CacheMeasurement> measurements; // by the path as given
  for (std::size_t i = 0; i < items.size() && !stop.stop_requested(); ++i) {
    if (std::optional<std::string> refusal = dotNameRefusal(items[i].path)) {
      refusals[i] = {std::move(*refusal), true};
      items[i].isSelected = false;
      continue;
    }
    try {
      const ApprovedDeletion approved = DeletionGuard::approve(items[i].path, home, true, &protectedNow);
      if (std::optional<std::string> refusal = inTrashRefusal(trash, approved, permanent)) {
        refusals[i] = {std::move(*refusal), true};
        items[i].isSelected = false;
        continue;
      }
      // Inside another path given here, it is counted with that one.
      if (!approvedPaths.insert(approved.path).second || coveredByAnother(approved.path, approvedPaths))
        continue;
      const CacheMeasurement measured = measureRemoval(approved.realPath, scanner, stop).value_or(CacheMeasurement{});
      measurements.emplace(items[i].path, measured);
      items[i].sizeBytes = measured.freedBytes();
    } catch (const DeletionGuardError &refusal) {
      refusals[i] = {refusal.what(), true};
      items[i].isSelected = false;
    } catch (const std::exception &failure) { // out of memory or descriptors while measuring
      refusals[i] = {std::string("cannot measure it: ") + failure.what(), false};
      items[i].isSelected = false;
    }
  }
  // An ancestor given after its descendant counts the descendant too.
  for (CleanableItem &item : items)
    if (item.isSelected && coveredByAnother(DeletionGuard::standardize(item.path), approvedPaths)) {
      item.sizeBytes = 0;
      measurements[item.path] = {};
    }
  SafeCleaningReport report;
  if (!stop.stop_requested()) {
    report = engine.clean(items, permanent ? DeletionMode::permanentDelete : DeletionMode::moveToTrash, true, {}, stop);
  }
  printOutcomes(items, refusals, report, permanent);
  const std::size_t done = report.cleanedPaths.size() + report.alreadyHandledPaths.size();
  const DeletionMode mode = permanent ? DeletionMode::permanentDelete : DeletionMode::moveToTrash;
  const ReclaimedSpace space = settleReclaimedSpace(mode, whatWent(report, mode, measurements));
  std::printf("\n%s", cleanedSummary(space, done, items.size(), report.durationSeconds).c_str());
  std::fflush(stdout);
  if (stop.stop_requested())
    return 130;
  return done == items.size() ? 0 : 1;
}

} // namespace

const CommandSyntax &trashCommandSyntax() {
  static const CommandSyntax syntax =
      CommandSyntax("trash",
                    {"trash [--permanent] [--] PATH...", "trash --list [--json]", "trash --restore [--] PATH...",
                     "trash --empty [--yes]"},
                    "Move each PATH to the Trash, or remove it; list, restore from or empty the Trash.",
                    {
                        {"permanent", "remove each PATH for good instead of moving it to the Trash"},
                        {"list", "list the Trash: deletion date, size and original path of each item"},
                        {"json", "with --list: as JSON"},
                        {"restore", "put back the item trashed last from each PATH; nothing there is replaced"},
                        {"empty", "remove everything in the Trash for good, after asking"},
                        {"yes", "with --empty: do not ask first"},
                    })
          .optionsEndAtFirstArgument();
  return syntax;
}

const CommandSyntax &accessCommandSyntax() {
  static const CommandSyntax syntax("access", {"access"},
                                    "Show whether protected locations are readable, and what Quillane reads and why.",
                                    {});
  return syntax;
}

int runTrashCommand(const CommandArguments &arguments, SafeCleaningEngine &engine, UninterruptibleMoves &moves,
                    const FastBulkScanner &scanner, const FreedesktopTrash &trash) {
  const Result<TrashOptions> options = trashOptionsFrom(arguments);
  if (!options)
    return reportUsageError(options.failure().message(), "trash");
  const TrashCatalogue catalogue(trash);
  switch (options->mode) {
  case TrashMode::list:
    return runTrashList(catalogue, options->json);
  case TrashMode::restore:
    return runTrashRestore(catalogue, options->paths);
  case TrashMode::empty:
    return runTrashEmpty(catalogue, options->yes);
  case TrashMode::move:
  case TrashMode::permanent:
    break;
  }
  return cleanPaths(options->paths, options->mode == TrashMode::permanent, engine, moves, scanner, trash);
}

int runAccessCommand(const CommandArguments &arguments, const FullDiskAccessCoordinator &access) {
  if (!arguments.positional().empty())
    return reportUsageError("access takes no arguments", "access");
  // The same probes and words as the window's Settings and launcher.
  const AccessCheck check = access.check();
  std::printf("Status: %s\n", std::string(statusWords(check.status)).c_str());
  for (const Failure &folder : check.unreadable)
    std::printf("  cannot read %s: %s\n", printableText(folder.path).c_str(), folder.explanation().c_str());
  std::printf("\n");
  for (const FDAPathCategory &row : FullDiskAccessCoordinator::transparencyCategories()) {
    std::printf("%s\n  %s\n", row.title.c_str(), row.purpose.c_str());
    for (const std::string &sample : row.samplePaths)
      std::printf("    %s\n", sample.c_str());
  }
  return 0;
}

} // namespace quillane
