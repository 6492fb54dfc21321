#include "TarnwickCore/Deletion/TrashCatalogue.h"

#include "TarnwickCore/Deletion/FreedesktopTrash.h"
#include "TarnwickCore/Deletion/TrashEntrySize.h"
#include "TarnwickCore/Deletion/TrashInfoText.h"
#include "TarnwickCore/Deletion/UserTrashFolders.h"
#include "TarnwickCore/Support/FolderNames.h"
#include "TarnwickCore/Support/PathJoin.h"
#include "TarnwickCore/Support/RealPath.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <map>
#include <string_view>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace tarnwick {
namespace {

constexpr std::string_view recordSuffix = ".trashinfo";

TrashEntryKind kindOf(mode_t mode) {
  if (S_ISREG(mode))
    return TrashEntryKind::file;
  if (S_ISDIR(mode))
    return TrashEntryKind::folder;
  return S_ISLNK(mode) ? TrashEntryKind::link : TrashEntryKind::other;
}

// Whether `path` lies below `top`, a mount point.
bool isBelow(const std::string &path, const std::string &top) {
  return top == "/" || path.starts_with(top + "/");
}

// Whether `path` is absolute and free of "." and ".." components and of a
// trailing separator: the only paths a restore moves an item back to.
bool namesAnEntry(std::string_view path) {
  if (!path.starts_with('/') || path.ends_with('/'))
    return false;
  for (std::size_t start = 1; start <= path.size();) {
    const std::size_t end = std::min(path.find('/', start), path.size());
    const std::string_view component = path.substr(start, end - start);
    if (component == "." || component == "..")
      return false;
    start = end + 1;
  }
  return true;
}

// Pairs the records and entries of one trash folder by name.
void listFolder(const UserTrashFolder &folder, TrashListing &listing, const std::stop_token &stop) {
  const TrashDirectory &trash = folder.directory;
  std::map<std::string, TrashedItem> byName;
  auto itemNamed = [&](const std::string &name) -> TrashedItem & {
    TrashedItem &item = byName[name];
    item.trashDirectory = trash.path();
    item.name = name;
    return item;
  };
  Result<std::vector<std::string>> records = folderNames(trash.info(), trash.path() + "/info");
  Result<std::vector<std::string>> entries = folderNames(trash.files(), trash.path() + "/files");
  for (const Result<std::vector<std::string>> *names : {&records, &entries})
    if (!*names)
      listing.problems.push_back(names->failure().message());
  for (const std::string &record : records ? *records : std::vector<std::string>()) {
    if (record.size() <= recordSuffix.size() || !record.ends_with(recordSuffix))
      continue; // not a record: a client's temporary, say
    TrashedItem &item = itemNamed(record.substr(0, record.size() - recordSuffix.size()));
    item.hasRecord = true;
    if (Result<TrashInfoText> text = TrashInfoText::read(trash.info(), record, item.recordPath())) {
      item.originalPath = text->originalPath(folder.topDirectory);
      item.deletionDate = text->deletionDate;
      // No move reaches another drive; such a record would only shadow the
      // item really trashed from that path.
      if (!namesAnEntry(item.originalPath))
        item.recordProblem = "its recorded path names no entry or has \".\" or \"..\" in it";
      else if (folder.isTopDirectoryTrash && !isBelow(item.originalPath, folder.topDirectory))
        item.recordProblem = "its record names a place off the drive it is on";
    } else {
      item.recordProblem = text.failure().explanation();
    }
  }
  for (const std::string &name : entries ? *entries : std::vector<std::string>()) {
    if (stop.stop_requested())
      break;
    struct stat st;
    if (::fstatat(trash.files(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
      continue; // gone meanwhile
    TrashedItem &item = itemNamed(name);
    item.kind = kindOf(st.st_mode);
    item.identity = {st.st_dev, st.st_ino};
    item.entryChanged = std::int64_t(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec;
    const TrashEntrySize size = TrashEntrySize::measure(trash.files(), name, stop);
    item.sizeBytes = size.bytes;
    item.sizeComplete = size.complete;
    item.removal = size.removal;
  }
  for (auto &[name, item] : byName)
    listing.items.push_back(std::move(item));
}

} // namespace

TrashCatalogue::TrashCatalogue(std::string homeTrash, uid_t user) : homeTrash_(std::move(homeTrash)), user_(user) {}

TrashCatalogue::TrashCatalogue(const FreedesktopTrash &trash) : TrashCatalogue(trash.homeTrashDirectory(), ::geteuid()) {}

std::vector<UserTrashFolder> TrashCatalogue::openFolders(std::vector<std::string> &problems) const {
  return UserTrashFolders::open(homeTrash_, user_, problems);
}

TrashListing TrashCatalogue::list(std::stop_token stop) const {
  TrashListing listing;
  for (const UserTrashFolder &folder : openFolders(listing.problems)) {
    if (stop.stop_requested())
      break;
    listing.trashDirectories.push_back(folder.directory.path());
    listFolder(folder, listing, stop);
  }
  listing.cancelled = stop.stop_requested();
  std::stable_sort(listing.items.begin(), listing.items.end(), [](const TrashedItem &a, const TrashedItem &b) {
    return std::tie(a.deletionDate, a.trashDirectory, a.name) < std::tie(b.deletionDate, b.trashDirectory, b.name);
  });
  return listing;
}

std::optional<TrashedItem> TrashCatalogue::latestWithOriginalPath(const TrashListing &listing, const std::string &path) {
  const std::string real = realEntryLocation(path);
  // Only a path of the same name is resolved: the rest may lie on drives
  // that are slow to answer, or not at all.
  auto namesIt = [&](const std::string &original) {
    return original == path ||
           (lastPathComponent(original) == lastPathComponent(path) && realEntryLocation(original) == real);
  };
  std::optional<TrashedItem> latest;
  for (const TrashedItem &item : listing.items)
    if (item.isRestorable() && namesIt(item.originalPath) &&
        (!latest || std::tie(item.deletionDate, item.entryChanged) >= std::tie(latest->deletionDate, latest->entryChanged)))
      latest = item;
  return latest;
}

} // namespace tarnwick
