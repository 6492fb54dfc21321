#include "TarnwickCore/Deletion/CleaningFileSystem.h"

#include "TarnwickCore/Deletion/KeptEntryCleaning.h"
#include "TarnwickCore/Deletion/PermanentRemoval.h"
#include "TarnwickCore/Deletion/RemovalQuarantine.h"
#include "TarnwickCore/Support/MountTable.h"
#include "TarnwickCore/Support/NoLinkPath.h"
#include "TarnwickCore/Support/PathJoin.h"
#include "TarnwickCore/Support/RealPath.h"
#include "TarnwickCore/Support/UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <vector>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace tarnwick {
namespace {

// The approved entry's folder, opened without following any link, after
// checking that the entry in it is still the approved file.
Result<ParentAndName> pinned(const ApprovedDeletion &item) {
  ParentAndName entry = openParentWithoutLinks(item.realPath);
  if (!entry.parent)
    return Failure{"open the folder of", item.path, errno, {}};
  struct stat st;
  if (::fstatat(entry.parent.get(), entry.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
    return Failure::fromErrno("find", item.path);
  if (FileIdentity{st.st_dev, st.st_ino} != item.identity)
    return Failure{"clean", item.path, 0, "it was replaced by another file after it was checked; it was left alone"};
  return entry;
}

std::string joinedSummary(const std::vector<std::string> &failures) {
  std::string text = failures.front();
  if (failures.size() > 1)
    text += " (and " + std::to_string(failures.size() - 1) + " more)";
  return text;
}

bool isMountPoint(const MountTable &mounts, const std::string &path) {
  for (const MountEntry &entry : mounts.entries())
    if (entry.mountPoint == path)
      return true;
  return false;
}

// Whether the real folder `trash` is one of the user's trashes: the home
// Trash, or .Trash-$uid or .Trash/$uid in the top directory of a mount.
// Decided by place, not by name: a folder the user named "Trash" is theirs.
bool isUsersTrash(const std::string &trash, const std::string &homeTrash) {
  if (trash == realPath(homeTrash).value_or(homeTrash))
    return true;
  const std::optional<MountTable> mounts = MountTable::readCurrent();
  if (!mounts)
    return false;
  const std::string uid = std::to_string(::geteuid());
  const std::string above = parentPath(trash), name = trash.substr(trash.rfind('/') + 1);
  if (name == ".Trash-" + uid)
    return isMountPoint(*mounts, above);
  return name == uid && above.ends_with("/.Trash") && isMountPoint(*mounts, parentPath(above));
}

// An item removed from a Trash's files/ folder takes its record in info/
// with it, or trash clients would list a ghost.
void forgetTrashRecord(int parent, const std::string &name, const std::string &realItemPath,
                       const std::string &homeTrash) {
  const std::string files = parentPath(realItemPath);
  if (!files.ends_with("/files") || !isUsersTrash(parentPath(files), homeTrash))
    return;
  if (UniqueFd info{::openat(parent, "../info", O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)})
    ::unlinkat(info.get(), (name + ".trashinfo").c_str(), 0);
}

} // namespace

Result<std::vector<std::string>> CleaningFileSystem::cleanKeeping(const ApprovedDeletion &item, DeletionMode,
                                                                  const std::vector<std::string> &) {
  return Failure{"clean", item.path, 0, "the files it must keep cannot be kept here"};
}

Result<void> SystemCleaningFileSystem::moveToTrash(const ApprovedDeletion &item) {
  Result<ParentAndName> entry = pinned(item);
  if (!entry)
    return entry.failure();
  if (Result<std::string> moved = trash_.moveToTrash(entry->parent.get(), entry->name, item.path, item.identity);
      !moved)
    return moved.failure();
  return {};
}

Result<void> SystemCleaningFileSystem::removeItem(const ApprovedDeletion &item) {
  Result<ParentAndName> entry = pinned(item);
  if (!entry)
    return entry.failure();
  Result<RemovalQuarantine> quarantine =
      RemovalQuarantine::enter(entry->parent.get(), entry->name, item.path, item.identity, &quarantines_);
  if (!quarantine)
    return quarantine.failure();
  const Result<void> removed = removePermanently(quarantine->folder(), entry->name, item.path, item.identity);
  if (!quarantine->finish())
    return Failure{"remove all of", item.path, 0,
                   "what is left is in " + quarantine->folderName() + " beside it, as its name was taken meanwhile"};
  if (!removed)
    return removed.failure();
  forgetTrashRecord(entry->parent.get(), entry->name, item.realPath, trash_.homeTrashDirectory());
  return {};
}

Result<std::vector<std::string>> SystemCleaningFileSystem::cleanKeeping(const ApprovedDeletion &item, DeletionMode mode,
                                                                        const std::vector<std::string> &keptNames) {
  Result<ParentAndName> entry = pinned(item);
  if (!entry)
    return entry.failure();
  const EntryAction act = [&](int folder, const std::string &name, const std::string &shown,
                              std::optional<FileIdentity> expected) -> Result<void> {
    if (mode == DeletionMode::permanentDelete)
      return removePermanently(folder, name, shown, expected);
    if (Result<std::string> moved = trash_.moveToTrash(folder, name, shown, expected); !moved)
      return moved.failure();
    return {};
  };
  Result<KeptEntryOutcome> outcome =
      cleanAroundKeptEntries(entry->parent.get(), entry->name, item.path, keptNames, act, item.identity);
  if (!outcome)
    return outcome.failure();
  if (!outcome->failures.empty())
    return Failure{"clean all of", item.path, 0, joinedSummary(outcome->failures)};
  return std::move(outcome->keptPaths);
}

} // namespace tarnwick
