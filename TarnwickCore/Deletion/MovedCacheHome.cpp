#include "TarnwickCore/Deletion/MovedCacheHome.h"

#include "TarnwickCore/Deletion/DeletionGuard.h"
#include "TarnwickCore/Deletion/GuardPlacement.h"
#include "TarnwickCore/Support/PathJoin.h"
#include "TarnwickCore/Support/UserEnvironment.h"

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tarnwick {
namespace {

constexpr int mostLinksFollowed = 40; // as the kernel's own limit

void pushComponents(std::deque<std::string> &pending, std::string_view path) {
  std::vector<std::string> parts;
  for (std::size_t start = 0; start <= path.size();) {
    const std::size_t slash = std::min(path.find('/', start), path.size());
    if (slash > start)
      parts.emplace_back(path.substr(start, slash - start));
    start = slash + 1;
  }
  pending.insert(pending.begin(), parts.begin(), parts.end());
}

// `path` resolved as the system resolves it, one link at a time; nothing
// when a link on the way belongs to someone other than the user or root
// (whoever made it would choose the folder), or cannot be read.
std::optional<std::string> realPathThroughOwnLinks(const std::string &path, const GuardFileFacts &files) {
  std::vector<std::string> resolved; // real folders only: ".." is their parent
  std::deque<std::string> pending;
  pushComponents(pending, path);
  auto joined = [&resolved] {
    std::string text;
    for (const std::string &name : resolved)
      text += "/" + name;
    return text.empty() ? std::string("/") : text;
  };
  for (int links = 0; !pending.empty();) {
    const std::string name = std::move(pending.front());
    pending.pop_front();
    if (name == ".")
      continue;
    if (name == "..") {
      if (!resolved.empty())
        resolved.pop_back();
      continue;
    }
    resolved.push_back(name);
    const std::string here = joined();
    const std::optional<GuardFileFacts::LinkStatus> status = files.linkStatus(here);
    if (!status)
      return std::nullopt;
    if (!status->isSymbolicLink)
      continue;
    const std::optional<std::string> text = files.linkText(here);
    if ((status->owner != ::geteuid() && status->owner != 0) || ++links > mostLinksFollowed || !text || text->empty())
      return std::nullopt;
    resolved.pop_back();
    if (text->starts_with('/'))
      resolved.clear();
    pushComponents(pending, *text);
  }
  return joined();
}

// The moved cache folder's real location; nothing when the cache folder is
// ~/.cache itself (the allowlist's) or cannot be trusted to be the user's.
std::optional<std::string> movedCacheFolder(const std::string &home, const GuardFileFacts &files) {
  const std::string named = DeletionGuard::standardize(UserEnvironment::cacheHomeOf(home));
  const std::optional<GuardFileFacts::LinkStatus> status = files.linkStatus(named);
  if (named == home + "/.cache" && status && !status->isSymbolicLink)
    return std::nullopt;
  return realPathThroughOwnLinks(named, files);
}

// Whether someone else could write into the folder or put another folder
// in its place: it is writable by its group or others (the group bits also
// bound any ACL's grants), or a folder above it belongs to someone other
// than the user or root, or lets its group or others rename entries without
// the sticky bit.
bool othersCanReplace(const std::string &folder, const GuardFileFacts &files) {
  for (std::string at = folder;; at = parentPath(at)) {
    const std::optional<GuardFileFacts::LinkStatus> status = files.linkStatus(at);
    if (!status)
      return true;
    const bool sharedWrite = status->permissions & (S_IWGRP | S_IWOTH);
    if (at == folder ? sharedWrite
                     : (status->owner != ::geteuid() && status->owner != 0) ||
                           (sharedWrite && !(status->permissions & S_ISVTX)))
      return true;
    if (at == "/")
      return false;
  }
}

// Whether the folder is, lies inside or holds the home or a protected
// location: by identity up to "/" (a link gives them other names), and by
// place in a file system (a bind mount or an overlay's layer does). The
// secrets the cache folder itself may hold are refused one by one instead.
bool touchesProtected(const std::string &folder, const GuardFileFacts::LinkStatus &status, const std::string &home,
                      const ProtectedSnapshot &protectedNow, const MountTable &mounts, const GuardFileFacts &files) {
  for (std::string at = folder;; at = parentPath(at)) {
    const std::optional<FileIdentity> identity = files.identity(at);
    if (!identity)
      return true;
    for (const ExistingProtectedLocation &location : protectedNow.locations)
      if (location.identity == *identity)
        return true;
    if (at == "/")
      break;
  }
  const std::vector<FileSystemLocation> places = mounts.placesOf(folder, status.mountId);
  if (places.empty())
    return true;
  for (const ExistingProtectedLocation &location : protectedNow.locations) {
    if (location.path.starts_with(home + "/.cache/"))
      continue;
    for (const FileSystemLocation &where : places)
      for (const FileSystemLocation &protectedPlace : location.places)
        if (protectedPlace.isAtOrInside(where) || where.isAtOrInside(protectedPlace))
          return true;
  }
  return false;
}

// The folders of the user's data, settings and state (as the environment
// names them, or where they are by default) and the home Trash, at their
// real locations: a cache folder holding one would offer them as caches.
bool holdsUserData(const std::string &folder, const std::string &home, const GuardFileFacts &files) {
  struct Folder {
    const char *variable;
    const char *byDefault;
  };
  static constexpr Folder userFolders[] = {
      {"XDG_DATA_HOME", ".local/share"}, {"XDG_CONFIG_HOME", ".config"}, {"XDG_STATE_HOME", ".local/state"}};
  std::vector<std::string> named;
  for (const Folder &userFolder : userFolders) {
    const char *value = std::getenv(userFolder.variable);
    named.push_back(value && value[0] == '/' ? std::string(value) : home + "/" + userFolder.byDefault);
  }
  named.push_back(named.front() + "/Trash");
  for (const std::string &path : named)
    if (holdsPath(folder, files.canonicalPath(path).value_or(DeletionGuard::standardize(path))))
      return true;
  return false;
}

bool isTrustedCacheFolder(const std::string &folder, const std::string &home, const ProtectedSnapshot &protectedNow,
                          const MountTable &mounts, const GuardFileFacts &files) {
  // Trees of the system's own files: root owns every folder there, so
  // ownership alone cannot keep a cache folder out of them.
  const auto inTree = [&](const SystemTree &tree) { return holdsPath(tree.path, folder); };
  // Folders that hold other users' homes, disks or files, which root owns.
  static constexpr std::string_view sharedFolders[] = {"/", "/home", "/media", "/mnt", "/root", "/tmp"};
  if (std::ranges::find(sharedFolders, folder) != std::end(sharedFolders) || std::ranges::any_of(systemTrees, inTree))
    return false;
  for (const std::optional<std::string> &homeName : {std::optional(home), files.canonicalPath(home), files.accountHome()})
    if (homeName && holdsPath(folder, *homeName))
      return false;
  const std::optional<GuardFileFacts::LinkStatus> status = files.linkStatus(folder);
  return status && status->isDirectory && !status->isSymbolicLink && status->owner == ::geteuid() &&
         !othersCanReplace(folder, files) && !touchesProtected(folder, *status, home, protectedNow, mounts, files) &&
         !holdsUserData(folder, home, files);
}

} // namespace

bool isInMovedCacheHome(const std::string &target, const GuardFileFacts::LinkStatus &targetStatus,
                        const std::string &home, const ProtectedSnapshot &protectedNow, const MountTable &mounts,
                        const GuardFileFacts &files) {
  const std::optional<std::string> folder = movedCacheFolder(home, files);
  if (!folder || target == *folder || !holdsPath(*folder, target) || targetStatus.owner != ::geteuid() ||
      !isTrustedCacheFolder(*folder, home, protectedNow, mounts, files))
    return false;
  const std::optional<GuardFileFacts::LinkStatus> folderStatus = files.linkStatus(*folder);
  if (!folderStatus || (folderStatus->mountId && targetStatus.mountId && folderStatus->mountId != targetStatus.mountId))
    return false;
  // A disk's Trash lies at its top, which the cache folder may be: it and
  // what is in it go only by the Trash's own commands.
  std::deque<std::string> below;
  pushComponents(below, std::string_view(target).substr(folder->size()));
  if (std::ranges::any_of(below, [](std::string_view name) { return name == ".Trash" || name.starts_with(".Trash-"); }))
    return false;
  constexpr std::string_view cacheFolder = ".cache/";
  for (const ProtectedEntry &entry : ProtectedLocations::homeTable())
    if (entry.relativePath.starts_with(cacheFolder)) {
      const std::string secret = *folder + "/" + std::string(entry.relativePath.substr(cacheFolder.size()));
      if (holdsPath(target, secret) || holdsPath(secret, target))
        return false;
    }
  return true;
}

} // namespace tarnwick
