#include "TarnwickCore/Deletion/FreedesktopTrash.h"

#include "TarnwickCore/Deletion/TrashDirectory.h"
#include "TarnwickCore/Deletion/TrashInfoRecord.h"
#include "TarnwickCore/Support/MountTable.h"
#include "TarnwickCore/Support/NoLinkPath.h"
#include "TarnwickCore/Support/PathJoin.h"
#include "TarnwickCore/Support/RealPath.h"
#include "TarnwickCore/Support/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tarnwick {
namespace {

constexpr std::size_t maxNameBytes = 255;
constexpr std::string_view recordSuffix = ".trashinfo";
constexpr int maxNameAttempts = 10'000;

// Creates `path` and any missing parents (mode 0700). Links are followed:
// the data home is the user's own setting.
bool makeDirectories(const std::string &path) {
  struct stat st;
  if (::stat(path.c_str(), &st) == 0)
    return S_ISDIR(st.st_mode);
  if (path != "/" && !makeDirectories(parentPath(path)))
    return false;
  return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

bool isAbsolute(const std::string &path) { return !path.empty() && path.front() == '/'; }

std::string withoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/')
    path.pop_back();
  return path;
}

std::optional<std::uint64_t> mountIdOf(int folder, const char *path, int flags) {
  struct statx st;
  if (::statx(folder, path, flags, STATX_MNT_ID, &st) != 0 || !(st.stx_mask & STATX_MNT_ID))
    return std::nullopt;
  return st.stx_mnt_id;
}

// The mount that holds `path`, or would once it is created: that of its
// nearest existing ancestor.
std::optional<std::uint64_t> mountIdOfNearest(std::string path) {
  for (;;) {
    if (auto id = mountIdOf(AT_FDCWD, path.c_str(), 0))
      return id;
    if (errno != ENOENT || path == "/")
      return std::nullopt;
    path = parentPath(path);
  }
}

// The mount holding an item's folder, with its top directory opened
// without links and checked to be that very mount's root.
struct ItemMount {
  std::uint64_t id = 0;
  std::string point;
  UniqueFd top;
};

ItemMount mountOf(int parentFolder) {
  ItemMount mount;
  const auto id = mountIdOf(parentFolder, "", AT_EMPTY_PATH);
  const auto table = MountTable::readCurrent();
  const MountEntry *entry = id && table ? table->byId(*id) : nullptr;
  if (!entry)
    throw TrashError("cannot tell which file system it is on");
  mount.id = *id;
  mount.point = entry->mountPoint;
  mount.top = openFolderWithoutLinks(mount.point);
  // The mount point's path can lead elsewhere: a mount stacked on top, a
  // parent renamed since. Only the mount's own root will do.
  struct statx st;
  const bool reached = mount.top && ::statx(mount.top.get(), "", AT_EMPTY_PATH, STATX_MNT_ID, &st) == 0 &&
                       st.stx_mnt_id == mount.id &&
                       (!(st.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) || st.stx_attributes & STATX_ATTR_MOUNT_ROOT);
  if (!reached)
    throw TrashError("the top folder of its file system, " + mount.point + ", cannot be reached without links");
  return mount;
}

// `path` relative to the mount point `top`; nothing when it is not below it.
std::optional<std::string> relativeTo(const std::string &top, const std::string &path) {
  if (top == "/")
    return path.substr(1);
  if (path.size() > top.size() + 1 && path.starts_with(top) && path[top.size()] == '/')
    return path.substr(top.size() + 1);
  return std::nullopt;
}

// Whether `relative` (below a top directory) lies in any user's trash there.
bool startsInTopTrash(const std::string &relative) {
  const std::string_view first = std::string_view(relative).substr(0, relative.find('/'));
  constexpr std::string_view perUser = ".Trash-";
  return first == ".Trash" || (first.size() > perUser.size() && first.starts_with(perUser) &&
                               first.find_first_not_of("0123456789", perUser.size()) == std::string_view::npos);
}

struct Identity {
  dev_t device;
  ino_t inode;
  bool operator==(const Identity &) const = default;
};

std::optional<Identity> identityOf(int folder, const char *name) {
  struct stat st;
  if (::fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW | (*name ? 0 : AT_EMPTY_PATH)) != 0)
    return std::nullopt;
  return Identity{st.st_dev, st.st_ino};
}

// The trash folders an item could already be in: the home Trash and the
// top directory trashes of the item's mount, those that exist.
std::vector<Identity> trashFolders(int top, uid_t user, const std::string &dataHome) {
  std::vector<Identity> found;
  auto add = [&](int folder, const std::string &name) {
    UniqueFd trash(::openat(folder, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (auto identity = trash ? identityOf(trash.get(), "") : std::nullopt)
      found.push_back(*identity);
  };
  add(top, ".Trash");
  add(top, ".Trash-" + std::to_string(user));
  if (UniqueFd data{::open(dataHome.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)})
    add(data.get(), "Trash");
  return found;
}

// Where the entry `name` of `parentFolder` lies, as a restore looks for it:
// the real path of its folder, which a restore opens without meeting a link,
// and its own name. The path it was named by may run through a link (a home
// folder that leads elsewhere, as /home does on some systems), and neither
// could a record of that be restored, nor be made relative to another
// drive's top directory. The real path is taken only when it reaches this
// very folder; else (the folder renamed meanwhile, say) the name given.
std::string realPlaceOf(int parentFolder, const std::string &name, const std::string &originalPath) {
  const std::optional<std::string> folder = realPath(parentPath(originalPath));
  if (!folder)
    return originalPath;
  const UniqueFd reached = openFolderWithoutLinks(*folder);
  const auto identity = reached ? identityOf(reached.get(), "") : std::nullopt;
  if (!identity || identity != identityOf(parentFolder, ""))
    return originalPath;
  std::string place = *folder;
  appendPathComponent(place, name);
  return place;
}

// Whether `folder` or a folder above it, up to the root, is `wanted`.
// Judged by identity, so no other path to the same folders (a bind mount,
// a renamed parent) gets past.
template <typename Predicate> bool anyFolderUpFrom(int folder, Predicate wanted) {
  UniqueFd above;
  for (auto here = identityOf(folder, ""); here;) {
    if (wanted(*here))
      return true;
    above.reset(::openat(folder, "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
    const auto next = above ? identityOf(above.get(), "") : std::nullopt;
    if (!next || *next == *here)
      return false; // the root, or as high as we may look
    folder = above.get();
    here = next;
  }
  return false;
}

// Whether the entry `name` of `parentFolder` is one of `trashes` or lies in one.
bool liesIn(int parentFolder, const std::string &name, const std::vector<Identity> &trashes) {
  auto isTrash = [&](const Identity &identity) {
    return std::find(trashes.begin(), trashes.end(), identity) != trashes.end();
  };
  const auto item = identityOf(parentFolder, name.c_str());
  return (item && isTrash(*item)) || anyFolderUpFrom(parentFolder, isTrash);
}

// Whether the entry `name` of `parentFolder` on `mount` (`relative` to its
// top directory, when its real path is below it) is a trash folder there or
// lies in one: by name below the top directory (anyone's), by identity for
// the user's own.
bool inATrash(int parentFolder, const std::string &name, const ItemMount &mount,
              const std::optional<std::string> &relative, const std::string &dataHome) {
  return (relative && startsInTopTrash(*relative)) ||
         liesIn(parentFolder, name, trashFolders(mount.top.get(), ::getuid(), dataHome));
}

// The user's own trash folders on the mount whose top is `top`, and the
// home Trash: the shared .Trash holds every user's folder, only ours is ours.
std::vector<Identity> ownTrashFolders(int top, const std::string &dataHome) {
  std::vector<Identity> own = trashFolders(top, ::getuid(), dataHome);
  if (const auto shared = identityOf(top, ".Trash"))
    std::erase(own, *shared);
  if (const auto ours = identityOf(top, (".Trash/" + std::to_string(::getuid())).c_str()))
    own.push_back(*ours);
  return own;
}

// FreedesktopTrash::liesInATrash and liesInOwnTrash (`ownOnly`): a mount
// that cannot be told is a Failure.
Result<bool> checkTrash(int parentFolder, const std::string &name, const std::string &originalPath,
                        const std::string &dataHome, bool ownOnly) {
  try {
    const ItemMount mount = mountOf(parentFolder);
    if (ownOnly)
      return liesIn(parentFolder, name, ownTrashFolders(mount.top.get(), dataHome));
    return inATrash(parentFolder, name, mount, relativeTo(mount.point, realPlaceOf(parentFolder, name, originalPath)),
                    dataHome);
  } catch (const TrashError &unknown) {
    return Failure{"check", originalPath, 0, unknown.what()};
  }
}

// Why the kernel refused to move the item into `files`, worded for the user.
std::string moveFailure(int error, const struct stat &item, int files) {
  const Identity moved{item.st_dev, item.st_ino};
  if (error == EINVAL && anyFolderUpFrom(files, [&](const Identity &folder) { return folder == moved; }))
    return "the Trash lies inside it";
  return std::strerror(error);
}

// Why openParentWithoutLinks failed, worded for the user.
std::string pathFailure(int error) {
  if (error == EINVAL)
    return "its path is not absolute, names no entry, or has \".\" or \"..\" in it";
  if (error == ENOTDIR || error == ELOOP)
    return "a folder on its path is a symbolic link or not a folder";
  return std::strerror(error);
}

// The name an item called `base` takes on the given attempt (1, 2, …):
// `base`, then `base.2`, …, shortened when the record's name would not fit.
std::string trashName(const std::string &base, int attempt) {
  // Appended, since g++ 12 at -O2 warns falsely (-Wrestrict) about "." + std::string.
  const std::string suffix = attempt == 1 ? "" : std::string(".").append(std::to_string(attempt));
  const std::size_t room = maxNameBytes - recordSuffix.size() - suffix.size();
  if (base.size() <= room)
    return base + suffix;
  std::size_t cut = room;
  // Never inside a UTF-8 sequence (at most three continuation bytes).
  for (int back = 0; back < 3 && (static_cast<unsigned char>(base[cut]) & 0xC0) == 0x80; ++back)
    --cut;
  return base.substr(0, cut) + suffix;
}

bool isEntry(int folder, const std::string &name, const FileIdentity &identity) {
  struct stat st;
  return ::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && FileIdentity{st.st_dev, st.st_ino} == identity;
}

// Why what just arrived in the Trash must go back, or nothing: another file
// than the one checked (swapped in between the last look and the rename),
// or a folder with a file system mounted inside it (mounted after the
// guard looked), which must never end up inside the Trash.
const char *wrongArrival(int files, const std::string &name, const FileIdentity &identity,
                         const std::string &destination) {
  if (!isEntry(files, name, identity))
    return "it was replaced by another file while it was being moved";
  struct stat st;
  if (::fstatat(files, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode))
    return nullptr;
  const std::optional<MountTable> mounts = MountTable::readCurrent();
  const std::string realDestination = realPath(destination).value_or(destination);
  if (!mounts)
    return "the mount table cannot be read to make sure no file system is mounted inside it";
  return mounts->mountPointAtOrBelow(realDestination) ? "a file system is mounted inside it" : nullptr;
}

} // namespace

FreedesktopTrash::FreedesktopTrash(std::string homeDirectory, std::optional<std::string> dataHome)
    : home_(std::move(homeDirectory)) {
  // A relative data home is ignored, and a relative home gives none:
  // neither may be resolved against the working folder.
  if (dataHome && isAbsolute(*dataHome))
    dataHome_ = *dataHome;
  else if (isAbsolute(home_))
    dataHome_ = (home_ == "/" ? "" : home_) + "/.local/share";
}

FreedesktopTrash::FreedesktopTrash(const UserEnvironment &user) : FreedesktopTrash(user.homeDirectory, user.dataHome) {}

std::string FreedesktopTrash::homeTrashDirectory() const { return dataHome_.empty() ? "" : dataHome_ + "/Trash"; }

Result<std::string> FreedesktopTrash::moveToTrash(const std::string &path) const {
  const std::string trimmed = withoutTrailingSlashes(path);
  ParentAndName parent = openParentWithoutLinks(trimmed);
  if (!parent.parent)
    return Failure{"trash", path, 0, pathFailure(errno)};
  return moveToTrash(parent.parent.get(), parent.name, trimmed);
}

Result<std::string> FreedesktopTrash::moveToTrash(int parentFolder, const std::string &name,
                                                  const std::string &originalPath,
                                                  std::optional<FileIdentity> expected) const {
  try {
    return move(parentFolder, name, originalPath, expected);
  } catch (const TrashError &refusal) {
    return Failure{"trash", originalPath, 0, refusal.what()};
  }
}

Result<bool> FreedesktopTrash::liesInATrash(int parentFolder, const std::string &name,
                                            const std::string &originalPath) const {
  return checkTrash(parentFolder, name, originalPath, dataHome_, false);
}

Result<bool> FreedesktopTrash::liesInOwnTrash(int parentFolder, const std::string &name,
                                              const std::string &originalPath) const {
  return checkTrash(parentFolder, name, originalPath, dataHome_, true);
}

Result<bool> FreedesktopTrash::liesInATrash(const std::string &path, bool ownOnly) const {
  const std::string trimmed = withoutTrailingSlashes(path);
  ParentAndName parent = openParentWithoutLinks(trimmed);
  if (!parent.parent)
    return Failure{"check", path, 0, pathFailure(errno)};
  return ownOnly ? liesInOwnTrash(parent.parent.get(), parent.name, trimmed)
                 : liesInATrash(parent.parent.get(), parent.name, trimmed);
}

std::string FreedesktopTrash::move(int parentFolder, const std::string &name, const std::string &originalPath,
                                   std::optional<FileIdentity> expected) const {
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
    throw TrashError("\"" + name + "\" is not the name of a folder entry");
  if (!isAbsolute(originalPath))
    throw TrashError("its original path is not absolute");
  if (dataHome_.empty())
    throw TrashError("the home folder \"" + home_ + "\" is not an absolute path");
  struct stat item;
  if (::fstatat(parentFolder, name.c_str(), &item, AT_SYMLINK_NOFOLLOW) != 0)
    throw TrashError(std::strerror(errno));
  const FileIdentity identity = expected.value_or(FileIdentity{item.st_dev, item.st_ino});
  if (FileIdentity{item.st_dev, item.st_ino} != identity)
    throw TrashError("it was replaced by another file after it was checked; it was left alone");

  const uid_t user = ::getuid();
  const ItemMount mount = mountOf(parentFolder);
  const std::string place = realPlaceOf(parentFolder, name, originalPath);
  const auto relative = relativeTo(mount.point, place);
  if (inATrash(parentFolder, name, mount, relative, dataHome_))
    throw TrashError("it is already in the Trash");

  const bool inHome = mountIdOfNearest(dataHome_) == mount.id;
  const TrashDirectory trash =
      inHome ? homeTrash(user, mount.id)
             : TrashDirectory::openInTopDirectory(mount.top.get(), mount.point, user, mount.id);
  const std::string recorded = inHome || !relative ? place : *relative;
  TrashInfoRecord record(trash.info(), trash.path() + "/info", TrashInfoRecord::text(recorded, std::time(nullptr)));
  for (int attempt = 1; attempt <= maxNameAttempts; ++attempt) {
    const std::string trashed = trashName(name, attempt);
    if (!record.publish(trashed))
      continue; // another item's record holds this name
    // The record's sync takes a while: look again right before the move.
    if (!isEntry(parentFolder, name, identity)) {
      record.withdraw();
      throw TrashError("it was replaced by another file after it was checked; it was left alone");
    }
    if (::renameat2(parentFolder, name.c_str(), trash.files(), trashed.c_str(), RENAME_NOREPLACE) == 0) {
      const std::string destination = trash.path() + "/files/" + trashed;
      if (const char *wrong = wrongArrival(trash.files(), trashed, identity, destination)) {
        const bool putBack = ::renameat2(trash.files(), trashed.c_str(), parentFolder, name.c_str(), RENAME_NOREPLACE) == 0;
        if (putBack)
          record.withdraw();
        else
          record.keep(); // it stays in the Trash: its record must stay with it
        throw TrashError(std::string(wrong) + (putBack ? "; it was put back" : "; it could not be put back: " +
                                                                                     std::string(std::strerror(errno))));
      }
      record.keep();
      return destination;
    }
    const int error = errno;
    record.withdraw();
    if (error != EEXIST) // else a stray entry without a record holds the name
      throw TrashError(moveFailure(error, item, trash.files()));
  }
  throw TrashError("no free name in " + trash.path());
}

TrashDirectory FreedesktopTrash::homeTrash(uid_t user, std::uint64_t mountId) const {
  if (!makeDirectories(dataHome_))
    throw TrashError("cannot create " + dataHome_ + ": " + std::strerror(errno));
  UniqueFd data(::open(dataHome_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!data)
    throw TrashError("cannot open " + dataHome_ + ": " + std::strerror(errno));
  return TrashDirectory::open(data.get(), dataHome_, "Trash", user, mountId);
}

} // namespace tarnwick
