// TrashCatalogue::restore: an item back where it came from.

#include "TarnwickCore/Deletion/TrashCatalogue.h"

#include "TarnwickCore/Deletion/TrashInfoText.h"
#include "TarnwickCore/Deletion/UserTrashFolders.h"
#include "TarnwickCore/Support/NoLinkPath.h"
#include "TarnwickCore/Support/PathJoin.h"
#include "TarnwickCore/Support/RealPath.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {
namespace {

// Why the original folder could not be opened, worded for the user.
std::string folderFailure(int error, const std::string &originalPath) {
  if (error == ENOENT)
    return "its original folder " + parentPath(originalPath) + " does not exist; create it first";
  if (error == ENOTDIR || error == ELOOP)
    return "a folder on its original path is a symbolic link or not a folder";
  if (error == EINVAL)
    return "its recorded path names no entry or has \".\" or \"..\" in it";
  return "its original folder cannot be opened: " + std::string(std::strerror(error));
}

// Why the move back failed, worded for the user.
std::string moveFailure(int error, const std::string &originalPath) {
  if (error == EEXIST || error == ENOTEMPTY)
    return "something named " + originalPath.substr(originalPath.rfind('/') + 1) +
           " is already there; nothing was replaced";
  if (error == EXDEV)
    return "its original folder is on another file system; nothing is copied";
  return std::strerror(error);
}

// Where `originalPath`, recorded in the home Trash at `homeTrash`, really
// lies when the home is reached through a link (/home/ann leading to
// /var/home/ann): the part of the path it shares with the Trash's own is
// taken at its real place, since the user reaches their Trash that way
// too. Links below that part are never followed; neither is a path the
// Trash's does not share a folder with.
std::string throughTrashsOwnLinks(const std::string &originalPath, const std::string &homeTrash) {
  for (std::string shared = parentPath(homeTrash); shared != "/"; shared = parentPath(shared)) {
    if (!holdsPath(shared, originalPath))
      continue;
    const std::optional<std::string> real = realPath(shared);
    return real ? *real + originalPath.substr(shared.size()) : originalPath;
  }
  return originalPath;
}

bool isEntry(int folder, const std::string &name, const FileIdentity &identity) {
  struct stat st;
  return ::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && FileIdentity{st.st_dev, st.st_ino} == identity;
}

} // namespace

Result<std::string> TrashCatalogue::restore(const TrashedItem &item) const {
  const std::string shown = item.originalPath.empty() ? item.entryPath() : item.originalPath;
  auto refused = [&](std::string why) { return Failure{"restore", shown, 0, std::move(why)}; };
  if (!item.isRestorable())
    return refused(item.hasEntry() ? "its record of where it came from is missing or unreadable"
                                   : "only its record is in the Trash");
  std::vector<std::string> problems;
  const std::vector<UserTrashFolder> folders = openFolders(problems);
  const auto folder = std::find_if(folders.begin(), folders.end(), [&](const UserTrashFolder &candidate) {
    return candidate.directory.path() == item.trashDirectory;
  });
  if (folder == folders.end() || folder->directory.files() < 0 || folder->directory.info() < 0)
    return refused(UserTrashFolders::whyUnusable(item.trashDirectory, problems));
  const TrashDirectory &trash = folder->directory;
  const std::string record = item.name + ".trashinfo";
  // Still the file listed, with the record listed: a listing may be old.
  if (!isEntry(trash.files(), item.name, item.identity))
    return refused("it is no longer the item listed in the Trash");
  const Result<TrashInfoText> text = TrashInfoText::read(trash.info(), record, item.recordPath());
  if (!text || text->originalPath(folder->topDirectory) != item.originalPath)
    return refused("its record changed since the Trash was listed");

  const bool inHomeTrash = item.trashDirectory == homeTrash_;
  ParentAndName target = openParentWithoutLinks(inHomeTrash ? throughTrashsOwnLinks(item.originalPath, homeTrash_)
                                                            : item.originalPath);
  if (!target.parent)
    return refused(folderFailure(errno, item.originalPath));
  // A folder another user made where the original one was (removed since,
  // say, from /tmp) would be handed the item, private or not: only a folder
  // of the user's own or root's takes it back.
  struct stat original;
  if (::fstat(target.parent.get(), &original) != 0)
    return refused(folderFailure(errno, item.originalPath));
  if (original.st_uid != user_ && original.st_uid != 0)
    return refused("its original folder " + parentPath(item.originalPath) +
                   " belongs to another user; nothing was moved there");
  if (::renameat2(trash.files(), item.name.c_str(), target.parent.get(), target.name.c_str(), RENAME_NOREPLACE) != 0)
    return refused(moveFailure(errno, item.originalPath));
  // files/ is the user's own, so only their own programs could have put
  // another entry under its name since the check; that one goes back.
  if (!isEntry(target.parent.get(), target.name, item.identity)) {
    const bool putBack =
        ::renameat2(target.parent.get(), target.name.c_str(), trash.files(), item.name.c_str(), RENAME_NOREPLACE) == 0;
    return refused(putBack ? "it was replaced in the Trash while being restored; the replacement stays in the Trash"
                           : "it was replaced in the Trash while being restored; the replacement is at its original "
                             "path now");
  }
  if (::unlinkat(trash.info(), record.c_str(), 0) != 0 && errno != ENOENT)
    return Failure{"remove the record", item.recordPath(), errno,
                   "the item itself is back at " + item.originalPath};
  return item.originalPath;
}

} // namespace tarnwick
