#include "TarnwickApp/Commands/TrashContentsCommands.h"

#include "TarnwickApp/Commands/InterruptWatcher.h"
#include "TarnwickApp/Commands/TextFormat.h"
#include "TarnwickCore/Deletion/TrashCatalogue.h"
#include "TarnwickCore/Support/ByteCountFormat.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace quillane {
namespace {

using namespace tarnwick;

std::string_view kindName(TrashEntryKind kind) {
  switch (kind) {
  case TrashEntryKind::file:
    return "file";
  case TrashEntryKind::folder:
    return "folder";
  case TrashEntryKind::link:
    return "link";
  case TrashEntryKind::other:
    return "other";
  case TrashEntryKind::missing:
    break;
  }
  return "missing";
}

// Where an item came from, or what it lacks, for the text listing.
std::string describedOrigin(const TrashedItem &item) {
  if (!item.hasEntry())
    return printableText(item.recordPath()) + " (a record without its item)";
  if (!item.isRestorable())
    return printableText(item.entryPath()) + " (no usable record of where it came from" +
           (item.recordProblem.empty() ? "" : ": " + printableText(item.recordProblem)) + ")";
  return printableText(item.originalPath);
}

std::string shownDate(const TrashedItem &item) {
  // A record without a usable date keeps the column's width.
  std::string date = item.deletionDate.empty() ? std::string(19, '-') : item.deletionDate;
  if (date.size() > 10 && date[10] == 'T')
    date[10] = ' ';
  return date;
}

std::string shownSize(const TrashedItem &item) {
  return (item.sizeComplete ? "" : ">=") + formatByteCount(item.sizeBytes);
}

// The listing's total, a lower bound as soon as one item's size is.
std::string shownTotal(const TrashListing &listing) {
  const bool complete = std::ranges::all_of(listing.items, &TrashedItem::sizeComplete);
  return (complete ? "" : ">=") + formatByteCount(listing.totalBytes());
}

void printNotes(const TrashListing &listing) {
  for (const std::string &problem : listing.problems)
    std::fprintf(stderr, "quillane: note: %s\n", printableText(problem).c_str());
}

std::string countText(std::size_t count) { return std::to_string(count) + (count == 1 ? " item" : " items"); }

nlohmann::ordered_json jsonOf(const TrashListing &listing) {
  nlohmann::ordered_json items = nlohmann::ordered_json::array();
  for (const TrashedItem &item : listing.items)
    items.push_back({{"originalPath", item.originalPath},
                     {"deletionDate", item.deletionDate},
                     {"sizeBytes", item.sizeBytes},
                     {"sizeComplete", item.sizeComplete},
                     {"kind", kindName(item.kind)},
                     {"trashDirectory", item.trashDirectory},
                     {"name", item.name},
                     {"hasRecord", item.hasRecord},
                     {"recordProblem", item.recordProblem},
                     {"restorable", item.isRestorable()}});
  return {{"trashDirectories", listing.trashDirectories},
          {"items", std::move(items)},
          {"totalBytes", listing.totalBytes()},
          {"problems", listing.problems}};
}

// PATH made absolute against the working folder and tidied, links left as
// they are: trash clients record the path they were given the same way.
std::string absoluteLexically(const std::string &path) {
  std::error_code error;
  std::string tidy = std::filesystem::absolute(path, error).lexically_normal().native();
  if (error)
    return path;
  while (tidy.size() > 1 && tidy.back() == '/')
    tidy.pop_back();
  return tidy;
}

bool confirm(std::size_t count, const std::string &bytes) {
  std::printf("Permanently remove %s (%s) from the Trash? This cannot be undone. [y/N] ", countText(count).c_str(),
              bytes.c_str());
  std::fflush(stdout);
  std::string answer;
  if (!std::getline(std::cin, answer))
    return false;
  return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
}

void printEmptyReport(const TrashEmptyReport &report) {
  for (const auto &[path, why] : report.failures)
    std::printf("failed   %s: %s\n", printableText(path).c_str(), printableText(why).c_str());
  std::printf("\n%s removed, %s freed", countText(report.removedCount).c_str(),
              formatByteCount(report.freedBytes).c_str());
  if (report.goneCount > 0)
    std::printf(" (%s already gone)", countText(report.goneCount).c_str());
  std::printf("%s\n", report.cancelled ? "; interrupted" : "");
}

} // namespace

int runTrashList(const TrashCatalogue &catalogue, bool json) {
  const TrashListing listing = catalogue.list();
  printNotes(listing);
  if (json) {
    std::printf("%s\n", jsonOf(listing).dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
  } else {
    for (const TrashedItem &item : listing.items)
      std::printf("%s  %10s  %s\n", shownDate(item).c_str(), shownSize(item).c_str(), describedOrigin(item).c_str());
    std::printf("%s%s, %s in the Trash\n", listing.items.empty() ? "" : "\n", countText(listing.items.size()).c_str(),
                shownTotal(listing).c_str());
  }
  // A trash folder that could not be read leaves the listing incomplete.
  return listing.problems.empty() ? 0 : 1;
}

int runTrashRestore(const TrashCatalogue &catalogue, const std::vector<std::string> &paths) {
  std::stop_source stopSource;
  InterruptWatcher watcher(stopSource);
  TrashListing listing = catalogue.list(stopSource.get_token());
  printNotes(listing);
  std::size_t restored = 0;
  for (const std::string &given : paths) {
    if (stopSource.stop_requested())
      return 130;
    const std::string path = absoluteLexically(given);
    const std::optional<TrashedItem> item = TrashCatalogue::latestWithOriginalPath(listing, path);
    if (!item) {
      std::printf("failed   %s: nothing in the Trash came from there\n", printableText(path).c_str());
      continue;
    }
    if (Result<std::string> back = catalogue.restore(*item)) {
      std::printf("restored %s\n", printableText(*back).c_str());
      ++restored;
    } else {
      std::printf("failed   %s: %s\n", printableText(path).c_str(), printableText(back.failure().explanation()).c_str());
    }
    // Given twice, a path means the next older item.
    std::erase_if(listing.items, [&](const TrashedItem &listed) {
      return listed.trashDirectory == item->trashDirectory && listed.name == item->name;
    });
  }
  std::fflush(stdout);
  return stopSource.stop_requested() ? 130 : restored == paths.size() ? 0 : 1;
}

int runTrashEmpty(const TrashCatalogue &catalogue, bool yes) {
  const TrashListing listing = catalogue.list();
  printNotes(listing);
  if (listing.items.empty() && !listing.problems.empty()) {
    std::printf("Nothing removed: the Trash could not be read completely (see the notes above).\n");
    return 1;
  }
  if (listing.items.empty()) {
    std::printf("The Trash is empty.\n");
    return 0;
  }
  if (!yes) {
    std::printf("%s, %s, in:\n", countText(listing.items.size()).c_str(), shownTotal(listing).c_str());
    for (const std::string &folder : listing.trashDirectories)
      std::printf("  %s\n", printableText(folder).c_str());
    if (!::isatty(STDIN_FILENO)) {
      std::fprintf(stderr, "quillane: not emptying the Trash: standard input is not a terminal to confirm on "
                           "(pass --yes)\n");
      return 1;
    }
    if (!confirm(listing.items.size(), shownTotal(listing))) {
      std::printf("Nothing removed.\n");
      return 1;
    }
  }
  // Watched only from here: at the prompt, Ctrl-C must end the program at once.
  std::stop_source stopSource;
  InterruptWatcher watcher(stopSource);
  const bool showProgress = ::isatty(STDERR_FILENO);
  const TrashEmptyReport report = catalogue.empty(
      listing.items,
      [showProgress](const TrashEmptyProgress &progress) {
        if (showProgress)
          std::fprintf(stderr, "\r\033[K[%zu/%zu] %s freed", progress.doneCount + 1, progress.totalCount,
                       formatByteCount(progress.freedBytes).c_str());
      },
      stopSource.get_token());
  if (showProgress)
    std::fprintf(stderr, "\r\033[K");
  printEmptyReport(report);
  std::fflush(stdout);
  if (report.cancelled)
    return 130;
  return report.failures.empty() && listing.problems.empty() ? 0 : 1;
}

} // namespace quillane
