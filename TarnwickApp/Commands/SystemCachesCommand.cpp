#include "TarnwickApp/Commands/SystemCachesCommand.h"

#include "TarnwickApp/Commands/CommandFailure.h"
#include "TarnwickApp/Commands/InterruptWatcher.h"
#include "TarnwickApp/Commands/TextFormat.h"
#include "TarnwickCore/Catalogue/SystemCacheCatalogue.h"
#include "TarnwickCore/Support/ByteCountFormat.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <string>
#include <vector>

namespace quillane {
namespace {

using namespace tarnwick;

std::string sizeText(const SystemCacheItem &item) {
  return item.sizeBytes ? formatByteCount(*item.sizeBytes) : "?";
}

nlohmann::ordered_json toJson(const SystemCacheItem &item) {
  nlohmann::ordered_json object{{"id", item.id}, {"title", item.title}};
  object["sizeBytes"] = item.sizeBytes ? nlohmann::ordered_json(*item.sizeBytes) : nlohmann::ordered_json();
  object["sizeNote"] = item.sizeNote;
  object["needsRoot"] = item.needsRoot;
  object["cleanable"] = item.isCleanable();
  object["command"] = item.isCleanable() ? nlohmann::ordered_json(item.cleanArgv) : nlohmann::ordered_json();
  object["instead"] = item.instead;
  return object;
}

void printItem(std::FILE *out, const SystemCacheItem &item) {
  std::fprintf(out, "%10s  %-26s  %s\n", sizeText(item).c_str(), printableText(item.id).c_str(),
               printableText(item.title).c_str());
  if (!item.sizeNote.empty())
    std::fprintf(out, "%10s  %-26s  note: %s\n", "", "", printableText(item.sizeNote).c_str());
  if (item.isCleanable())
    std::fprintf(out, "%10s  %-26s  cleaned by: %s\n", "", "", printableText(shellQuoted(item.cleanArgv)).c_str());
  else
    std::fprintf(out, "%10s  %-26s  instead: %s\n", "", "", printableText(item.instead).c_str());
}

void printList(std::FILE *out, const std::vector<SystemCacheItem> &items) {
  std::int64_t total = 0;
  std::size_t unmeasured = 0;
  for (const SystemCacheItem &item : items) {
    printItem(out, item);
    total += item.sizeBytes.value_or(0);
    unmeasured += item.sizeBytes ? 0 : 1;
  }
  std::fprintf(out, "\n%s in %zu system item%s", formatByteCount(total).c_str(), items.size(),
               items.size() == 1 ? "" : "s");
  if (unmeasured > 0)
    std::fprintf(out, " (%zu not measured)", unmeasured);
  std::fprintf(out, "\n");
}

bool confirm(const CommandConsole &console, std::size_t count) {
  std::fprintf(console.out, "Run %s? [y/N] ", count == 1 ? "this command" : "these commands");
  std::fflush(console.out);
  char line[64] = {};
  if (std::fgets(line, sizeof line, console.in) == nullptr)
    return false;
  std::string answer(line);
  answer.erase(answer.find_last_not_of("\r\n") + 1);
  return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
}

const SystemCacheItem *findItem(const std::vector<SystemCacheItem> &items, std::string_view id) {
  const auto found = std::find_if(items.begin(), items.end(), [&](const SystemCacheItem &item) { return item.id == id; });
  return found == items.end() ? nullptr : &*found;
}

// Runs the chosen items' commands in order; a failing one does not stop
// the rest, an interruption does. Returns how many succeeded.
std::size_t runCommands(const std::vector<SystemCacheItem> &chosen, SystemCacheCatalogue &catalogue,
                        const CommandConsole &console, const std::stop_token &stop) {
  std::size_t succeeded = 0;
  for (const SystemCacheItem &item : chosen) {
    const std::string id = printableText(item.id);
    if (stop.stop_requested()) {
      std::fprintf(console.out, "skipped  %s: not reached, interrupted\n", id.c_str());
      continue;
    }
    std::fprintf(console.out, "running  %s\n", printableText(shellQuoted(item.cleanArgv)).c_str());
    std::fflush(console.out);
    const SystemCacheCleaning outcome = catalogue.clean(item, stop);
    if (outcome.succeeded()) {
      ++succeeded;
      std::fprintf(console.out, "done     %s\n", id.c_str());
    } else if (outcome.output.stopped) {
      std::fprintf(console.out, "stopped  %s: interrupted before its command finished\n", id.c_str());
    } else {
      std::fprintf(console.out, "failed   %s: %s\n", id.c_str(), printableText(outcome.problem).c_str());
    }
  }
  return succeeded;
}

// An item's size after the run. Once interrupted, the catalogue asks no
// more tools (SystemCacheCatalogue::measure), so an item it did not list
// then was not measured, which says nothing about whether it is gone.
std::string sizeAfter(const SystemCacheItem *now, bool measuredAll) {
  if (now != nullptr)
    return now->sizeBytes ? formatByteCount(*now->sizeBytes) : "not measured";
  return measuredAll ? "gone" : "not measured";
}

int clean(const std::vector<SystemCacheItem> &items, const SystemCachesOptions &options,
          SystemCacheCatalogue &catalogue, const CommandConsole &console) {
  std::vector<SystemCacheItem> chosen;
  bool allCleanable = true;
  for (const std::string &id : options.ids) {
    const SystemCacheItem *item = findItem(items, id);
    if (item == nullptr) {
      std::string known;
      for (const SystemCacheItem &each : items)
        known += (known.empty() ? "" : ", ") + each.id;
      return reportUsageError("no system cache " + id + " here; the items are: " + (known.empty() ? "none" : known),
                              "caches", console.err);
    }
    if (item->isCleanable() && !findItem(chosen, id)) {
      chosen.push_back(*item);
    } else if (!item->isCleanable()) {
      allCleanable = false;
      std::fprintf(console.out, "skipped  %s: not cleanable from here; instead: %s\n", printableText(id).c_str(),
                   printableText(item->instead).c_str());
    }
  }
  if (chosen.empty())
    return 1;
  for (const SystemCacheItem &item : chosen)
    printItem(console.out, item);
  if (!options.yes) {
    if (!console.interactive) {
      std::fprintf(console.err, "quillane: running nothing: standard input is not a terminal to confirm on (pass --yes)\n");
      return 1;
    }
    if (!confirm(console, chosen.size())) {
      std::fprintf(console.out, "Nothing ran.\n");
      return 1;
    }
  }
  std::stop_source stopSource;
  const InterruptWatcher watcher(stopSource);
  const std::size_t succeeded = runCommands(chosen, catalogue, console, stopSource.get_token());
  // The owners' commands say little about what they freed: measure again.
  const std::vector<SystemCacheItem> after = catalogue.measure(stopSource.get_token());
  const bool measuredAll = !stopSource.stop_requested();
  for (const SystemCacheItem &item : chosen)
    std::fprintf(console.out, "%-26s %s -> %s\n", printableText(item.id).c_str(), sizeText(item).c_str(),
                 sizeAfter(findItem(after, item.id), measuredAll).c_str());
  if (stopSource.stop_requested()) {
    std::fflush(console.out);
    std::fprintf(console.err, "quillane: cleaning interrupted\n");
    return 130;
  }
  return succeeded == chosen.size() && allCleanable ? 0 : 1;
}

} // namespace

Result<SystemCachesOptions> systemCachesOptionsFrom(const CommandArguments &arguments) {
  SystemCachesOptions options;
  options.json = arguments.isSet("json");
  options.clean = arguments.isSet("clean");
  options.yes = arguments.isSet("yes");
  if (arguments.isSet("category") || arguments.isSet("projects"))
    return Failure::because("--category and --projects do not go with --system");
  if (!options.clean && !arguments.positional().empty())
    return Failure::because("caches --system takes no argument " + arguments.positional().front() +
                            " (IDs go with --clean)");
  options.ids = arguments.positional();
  if (options.json && options.clean)
    return Failure::because("--json lists; it cannot be combined with --clean");
  if (options.yes && !options.clean)
    return Failure::because("--yes goes with --clean");
  if (options.clean && options.ids.empty())
    return Failure::because("name the items to clean by their IDs, as `quillane caches --system` lists them");
  return options;
}

int runSystemCachesCommand(const SystemCachesOptions &options, SystemCacheCatalogue &catalogue,
                           const CommandConsole &console) {
  std::vector<SystemCacheItem> items;
  {
    std::stop_source stop;
    const InterruptWatcher watcher(stop);
    items = catalogue.measure(stop.get_token());
    if (stop.stop_requested()) {
      std::fprintf(console.err, "quillane: interrupted while measuring\n");
      return 130;
    }
  }
  if (options.clean)
    return clean(items, options, catalogue, console);
  if (options.json) {
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    for (const SystemCacheItem &item : items)
      array.push_back(toJson(item));
    std::fprintf(console.out, "%s\n", array.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace).c_str());
  } else {
    printList(console.out, items);
  }
  // Standard output's own failure is said by the command line's last step.
  if (console.out == stdout)
    return 0;
  return std::fflush(console.out) == 0 && !std::ferror(console.out) ? 0 : 1;
}

} // namespace quillane
