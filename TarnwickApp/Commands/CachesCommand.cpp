#include "TarnwickApp/Commands/CachesCommand.h"

#include "TarnwickApp/Commands/InterruptWatcher.h"
#include "TarnwickApp/Commands/TextFormat.h"
#include "TarnwickApp/Commands/UninterruptibleMoves.h"
#include "TarnwickCore/Support/ByteCountFormat.h"
#include "TarnwickCore/Catalogue/CacheCatalogue.h"
#include "TarnwickCore/Deletion/SafeCleaningEngine.h"
#include "TarnwickCore/Deletion/TrashBinItem.h"
#include "TarnwickCore/Support/ScanErrors.h"
#include "TarnwickCore/Support/UserEnvironment.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace quillane {
namespace {

using namespace tarnwick;

// The titles --category takes, on one line.
std::string knownTitles() {
  std::string titles;
  for (CleanableCategory category : allCleanableCategories)
    titles += (titles.empty() ? "\"" : ", \"") + std::string(rawValue(category)) + "\"";
  return titles;
}

std::string flagsOf(const CleanableItem &item) {
  std::string flags = item.isSelected ? "ticked" : "-";
  if (!item.isSafeByDefault)
    flags += ",caution";
  return flags;
}

void printList(const std::vector<CleanableItem> &items) {
  std::int64_t total = 0;
  for (const CleanableItem &item : items) {
    total += item.sizeBytes;
    std::printf("%10s  %-40s  %-34s  %-14s  %s\n", formatByteCount(item.sizeBytes).c_str(),
                printableText(rawValue(item.category)).substr(0, 40).c_str(), printableText(item.name).substr(0, 34).c_str(),
                flagsOf(item).c_str(), printableText(item.path).c_str());
  }
  std::printf("\n%s in %zu item%s (%s ticked by default)\n", formatByteCount(total).c_str(), items.size(),
              items.size() == 1 ? "" : "s", formatByteCount(CacheCatalogue::selectedBytes(items)).c_str());
}

bool confirm(std::size_t count, std::int64_t bytes) {
  std::printf("Move %zu item%s (%s) to the Trash? [y/N] ", count, count == 1 ? "" : "s", formatByteCount(bytes).c_str());
  std::fflush(stdout);
  std::string answer;
  if (!std::getline(std::cin, answer))
    return false;
  return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
}

int clean(std::vector<CleanableItem> items, const CachesOptions &options, SafeCleaningEngine &engine,
          UninterruptibleMoves &moves) {
  std::erase_if(items, [&](const CleanableItem &item) {
    return !item.isSelected || (options.category && item.category != *options.category);
  });
  if (items.empty()) {
    std::printf("Nothing to clean: no cache ticked by default%s was found.\n", options.category ? " in that category" : "");
    return 0;
  }
  if (!options.yes) {
    printList(items);
    if (!::isatty(STDIN_FILENO)) {
      std::fprintf(stderr, "quillane: not moving anything: standard input is not a terminal to confirm on (pass --yes)\n");
      return 1;
    }
    if (!confirm(items.size(), CacheCatalogue::selectedBytes(items))) {
      std::printf("Nothing moved.\n");
      return 1;
    }
  }
  // Watched only from here: at the prompt, Ctrl-C must end the program at
  // once, as it does for any question on a terminal.
  std::stop_source stopSource;
  InterruptWatcher watcher(stopSource);
  const std::stop_token stop = stopSource.get_token();
  watcher.setCleanup([&moves] { moves.holdForExit(); });
  const bool showProgress = ::isatty(STDERR_FILENO);
  // Not a confirmation of each path: an item must still be a cache or an
  // artefact by the guard's own rules when it is moved.
  const SafeCleaningReport report = engine.clean(
      items, DeletionMode::moveToTrash, false,
      [showProgress](const CleanProgress &progress) {
        if (showProgress)
          std::fprintf(stderr, "\r\033[K[%lld/%lld] %s", static_cast<long long>(progress.currentIndex + 1),
                       static_cast<long long>(progress.totalCount), printableText(progress.currentPath).c_str());
      },
      stop);
  if (showProgress)
    std::fprintf(stderr, "\r\033[K");
  for (const std::string &path : report.cleanedPaths) {
    std::printf("trashed  %s\n", printableText(path).c_str());
    if (auto kept = report.keptPaths.find(path); kept != report.keptPaths.end())
      for (const std::string &keptPath : kept->second)
        std::printf("kept     %s (session file)\n", printableText(keptPath).c_str());
  }
  for (const auto &[path, reason] : report.errors) {
    const bool blocked = std::find(report.blockedProtectedPaths.begin(), report.blockedProtectedPaths.end(), path) !=
                         report.blockedProtectedPaths.end();
    std::printf("%-8s %s: %s\n", blocked ? "blocked" : "failed", printableText(path).c_str(), printableText(reason).c_str());
  }
  // Moved, not yet freed: the bytes come back when the Trash is emptied.
  std::printf("\n%zu of %zu moved to the Trash: %s, freed when the Trash is emptied\n", report.cleanedPaths.size(),
              items.size(), formatByteCount(report.freedBytes).c_str());
  if (stop.stop_requested())
    return 130;
  return report.cleanedPaths.size() == items.size() ? 0 : 1;
}

} // namespace

const CommandSyntax &cachesCommandSyntax() {
  static const CommandSyntax syntax(
      "caches",
      {"caches [--projects [ROOT...]] [--json]", "caches [--projects [ROOT...]] --clean [--category TITLE] [--yes]",
       "caches --system [--json]", "caches --system --clean ID... [--yes]"},
      "List the reclaimable caches in your home folder, largest first, or clean them.",
      {
          {"json", "list as JSON"},
          {"clean", "move the caches ticked by default to the Trash, after the safety checks; with --system, run "
                    "the named items' cleaning commands"},
          {"category", "clean only that category, e.g. \"Browser & Electron ServiceWorker Caches\"", "TITLE"},
          {"yes", "do not ask first (needed when standard input is not a terminal)"},
          {"projects", "only the build artefacts of the projects below each ROOT (default: your home folder)"},
          {"system", "the caches the system owns (APT, journal, snap, Flatpak, Docker, Podman) instead"},
      });
  return syntax;
}

Result<CachesOptions> cachesOptionsFrom(const CommandArguments &arguments) {
  CachesOptions options;
  options.json = arguments.isSet("json");
  options.clean = arguments.isSet("clean");
  options.yes = arguments.isSet("yes");
  if (arguments.isSet("projects")) {
    options.projectRoots.emplace();
    for (const std::string &root : arguments.positional())
      options.projectRoots->push_back(absoluteUserPath(root));
  } else if (!arguments.positional().empty()) {
    return Failure::because("caches takes no argument " + arguments.positional().front() +
                            " (a ROOT goes with --projects)");
  }
  if (const std::optional<std::string> title = arguments.value("category")) {
    options.category = cleanableCategoryFromRawValue(*title);
    if (!options.category)
      return Failure::because("unknown category \"" + *title + "\"; the categories are: " + knownTitles());
  }
  if (options.json && options.clean)
    return Failure::because("--json lists; it cannot be combined with --clean");
  if (!options.clean && (options.yes || options.category))
    return Failure::because("--yes and --category go with --clean");
  return options;
}

int runCachesCommand(const CachesOptions &options, SafeCleaningEngine &engine, UninterruptibleMoves &moves,
                     const TrashCatalogue &trash) {
  // A ROOT that is no folder would only give an empty list, as if it held
  // no project.
  for (const std::string &root : options.projectRoots.value_or(std::vector<std::string>{})) {
    struct stat status {};
    const bool found = ::stat(root.c_str(), &status) == 0;
    if (!found || !S_ISDIR(status.st_mode)) {
      std::fprintf(stderr, "quillane: cannot look for projects in %s: %s\n", printableText(root).c_str(),
                   found ? "it is not a folder" : std::strerror(errno));
      return 1;
    }
  }
  std::vector<CleanableItem> items;
  {
    std::stop_source stop;
    InterruptWatcher watcher(stop);
    try {
      if (options.projectRoots) {
        std::vector<std::string> roots = *options.projectRoots;
        if (roots.empty())
          roots.push_back(engine.homeDirectory());
        items = CacheCatalogue::scanProjects(engine.homeDirectory(), std::move(roots), stop.get_token());
      } else {
        items = TrashBinItem::withTrashBin(CacheCatalogue::scan(engine.homeDirectory(), stop.get_token()), trash,
                                           stop.get_token());
      }
    } catch (const ScanCancelledError &) {
      return 130;
    } catch (const std::exception &failure) {
      std::fprintf(stderr, "quillane: could not measure the caches: %s\n", failure.what());
      return 1;
    }
  }
  engine.untickRefused(items);
  if (options.clean)
    return clean(std::move(items), options, engine, moves);
  if (options.json) {
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    for (const CleanableItem &item : items)
      array.push_back(item);
    std::printf("%s\n", array.dump(2).c_str());
  } else {
    printList(items);
  }
  return 0;
}

} // namespace quillane
