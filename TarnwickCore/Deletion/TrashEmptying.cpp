// TrashCatalogue::empty: listed entries and their records removed.
#include "TarnwickCore/Deletion/TrashCatalogue.h"

#include "TarnwickCore/Deletion/MeasuredCleaning.h"
#include "TarnwickCore/Deletion/PermanentRemoval.h"
#include "TarnwickCore/Deletion/TrashEntrySize.h"
#include "TarnwickCore/Deletion/UserTrashFolders.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace tarnwick {
namespace {

// Whether `name` is absent from the open folder `folder`: false when it is
// there, or when that cannot be told (-1 being an absent folder).
bool isAbsent(int folder, const std::string &name) {
  struct stat st;
  return folder < 0 || (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT);
}

// A record named "..trashinfo" or "...trashinfo" stands for "." or "..",
// which name the folder itself, never an item that could come.
bool namesAnItem(const std::string &name) { return name != "." && name != ".."; }

// Removes one listed item of `trash`; its record goes only once its entry has.
// An entry removed, in whole or in part, adds what went to `removed`.
void emptyItem(const TrashDirectory &trash, const TrashedItem &item, TrashEmptyReport &report,
               std::vector<std::pair<std::string, CacheMeasurement>> &removed) {
  bool gone = false;
  if (item.hasEntry() && isAbsent(trash.files(), item.name)) {
    gone = true; // restored or emptied by another program
  } else if (item.hasEntry()) {
    if (Result<void> result = removePermanently(trash.files(), item.name, item.entryPath(), item.identity); !result) {
      report.failures.emplace_back(item.entryPath(), result.failure().message());
      const CacheMeasurement gone = removedPart(item.removal, TrashEntrySize::measure(trash.files(), item.name).removal);
      report.freedBytes += gone.freedBytes();
      removed.emplace_back(item.entryPath(), gone);
      return;
    }
    report.freedBytes += item.removal.freedBytes();
    removed.emplace_back(item.entryPath(), item.removal);
  } else if (namesAnItem(item.name) && !isAbsent(trash.files(), item.name)) {
    // An item may have been trashed under this name since the listing.
    report.failures.emplace_back(item.recordPath(), "an item of its name is in the Trash now; it was left for it");
    return;
  }
  const std::string record = item.name + ".trashinfo";
  if (item.hasRecord && !isAbsent(trash.info(), record)) {
    if (Result<void> removed = removePermanently(trash.info(), record, item.recordPath()); !removed) {
      report.failures.emplace_back(item.recordPath(), removed.failure().message());
      return;
    }
  } else if (!item.hasEntry()) {
    gone = true;
  }
  ++(gone ? report.goneCount : report.removedCount);
}

} // namespace

TrashEmptyReport TrashCatalogue::empty(const std::vector<TrashedItem> &items, const EmptyProgress &progress,
                                       std::stop_token stop) const {
  TrashEmptyReport report;
  std::vector<std::pair<std::string, CacheMeasurement>> removed;
  std::vector<std::string> problems;
  const std::vector<UserTrashFolder> folders = openFolders(problems);
  std::int64_t totalBytes = 0;
  for (const TrashedItem &item : items)
    totalBytes += item.sizeBytes;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (stop.stop_requested()) {
      report.cancelled = true;
      break;
    }
    const TrashedItem &item = items[i];
    if (progress)
      progress({i, items.size(), report.freedBytes, totalBytes, item.hasEntry() ? item.entryPath() : item.recordPath()});
    const auto folder = std::find_if(folders.begin(), folders.end(), [&](const UserTrashFolder &candidate) {
      return candidate.directory.path() == item.trashDirectory;
    });
    if (folder == folders.end())
      report.failures.emplace_back(item.hasEntry() ? item.entryPath() : item.recordPath(),
                                   UserTrashFolders::whyUnusable(item.trashDirectory, problems));
    else
      emptyItem(folder->directory, item, report, removed);
  }
  // A file with names in several items is freed with the last of them; one
  // with a name outside the Trash is not freed at all.
  report.freedBytes = settleReclaimedSpace(DeletionMode::permanentDelete, removed).bytes;
  return report;
}

} // namespace tarnwick
