#include "TarnwickCore/Deletion/TrashDirectory.h"

#include "TarnwickCore/Deletion/FreedesktopTrash.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace tarnwick {
namespace {

constexpr int folderFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

[[noreturn]] void unusable(const std::string &path, const std::string &why) { throw TrashError(path + " " + why); }

// Why `name` in `parent` could not be opened as a folder, worded for the user.
std::string openFailure(int parent, const std::string &name, int error) {
  struct stat st;
  if ((error == ENOTDIR || error == ELOOP) && ::fstatat(parent, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
    return S_ISLNK(st.st_mode) ? "is a symbolic link" : "is not a folder";
  return std::string("cannot be opened: ") + std::strerror(error);
}

// Makes a folder of the user's private; `folder` may be an O_PATH descriptor.
bool tighten(int folder) {
  UniqueFd readable(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return readable && ::fchmod(readable.get(), 0700) == 0;
}

// Opens `name` in `parent` as a folder of the user's own on the item's mount,
// creating it when missing; with `create` false, a missing folder gives an
// invalid descriptor and an existing one is used as it is, never tightened.
UniqueFd openOwnFolder(int parent, const std::string &path, const std::string &name, uid_t user,
                       std::uint64_t mountId, bool create = true) {
  UniqueFd folder(::openat(parent, name.c_str(), folderFlags));
  if (!folder && errno == ENOENT && !create)
    return folder;
  if (!folder && errno == ENOENT) {
    if (::mkdirat(parent, name.c_str(), 0700) != 0 && errno != EEXIST)
      unusable(path, std::string("cannot be created: ") + std::strerror(errno));
    folder.reset(::openat(parent, name.c_str(), folderFlags));
  }
  if (!folder)
    unusable(path, openFailure(parent, name, errno));
  struct statx st;
  if (::statx(folder.get(), "", AT_EMPTY_PATH, STATX_MODE | STATX_UID | STATX_MNT_ID, &st) != 0)
    unusable(path, std::string("cannot be examined: ") + std::strerror(errno));
  if (st.stx_uid != user)
    unusable(path, "is owned by another user");
  if (st.stx_mode & (S_IWGRP | S_IWOTH))
    unusable(path, "is writable by other users");
  if (!(st.stx_mask & STATX_MNT_ID) || st.stx_mnt_id != mountId)
    unusable(path, "is on another file system");
  if (create && (st.stx_mode & 0077) && !tighten(folder.get()))
    unusable(path, std::string("is open to other users and cannot be made private: ") + std::strerror(errno));
  return folder;
}

// The top directory's shared `.Trash` when it may hold per-user trashes;
// appends the reason to `refusals` when it exists but may not.
UniqueFd openSharedTrash(int top, const std::string &path, std::string &refusals) {
  UniqueFd shared(::openat(top, ".Trash", folderFlags));
  if (!shared && errno == ENOENT)
    return {};
  struct stat st;
  std::string why;
  if (!shared)
    why = openFailure(top, ".Trash", errno);
  else if (::fstat(shared.get(), &st) != 0)
    why = std::string("cannot be examined: ") + std::strerror(errno);
  else if (!(st.st_mode & S_ISVTX))
    why = "has no sticky bit";
  if (why.empty())
    return shared;
  refusals += path + " " + why + "; ";
  return {};
}

} // namespace

std::optional<TrashDirectory> TrashDirectory::openExisting(int parent, const std::string &parentPath,
                                                           const std::string &name, uid_t user,
                                                           std::uint64_t mountId) {
  const std::string path = (parentPath == "/" ? "" : parentPath) + "/" + name;
  UniqueFd folder = openOwnFolder(parent, path, name, user, mountId, false);
  if (!folder)
    return std::nullopt;
  UniqueFd files = openOwnFolder(folder.get(), path + "/files", "files", user, mountId, false);
  UniqueFd info = openOwnFolder(folder.get(), path + "/info", "info", user, mountId, false);
  return TrashDirectory(path, std::move(files), std::move(info));
}

std::vector<TrashDirectory> TrashDirectory::openExistingInTopDirectory(int top, const std::string &topPath,
                                                                       uid_t user, std::uint64_t mountId,
                                                                       std::vector<std::string> &refusals) {
  const std::string prefix = topPath == "/" ? "" : topPath;
  const std::string uid = std::to_string(user);
  std::vector<TrashDirectory> found;
  auto add = [&](int parent, const std::string &parentPath, const std::string &name) {
    try {
      if (std::optional<TrashDirectory> trash = openExisting(parent, parentPath, name, user, mountId))
        found.push_back(std::move(*trash));
    } catch (const TrashError &refusal) {
      refusals.push_back(refusal.what());
    }
  };
  std::string sharedRefusal;
  if (UniqueFd shared = openSharedTrash(top, prefix + "/.Trash", sharedRefusal))
    add(shared.get(), prefix + "/.Trash", uid);
  else if (!sharedRefusal.empty())
    refusals.push_back(sharedRefusal.substr(0, sharedRefusal.size() - 2)); // without its "; "
  add(top, topPath, ".Trash-" + uid);
  return found;
}

TrashDirectory TrashDirectory::open(int parent, const std::string &parentPath, const std::string &name, uid_t user,
                                    std::uint64_t mountId) {
  const std::string path = (parentPath == "/" ? "" : parentPath) + "/" + name;
  UniqueFd folder = openOwnFolder(parent, path, name, user, mountId);
  UniqueFd files = openOwnFolder(folder.get(), path + "/files", "files", user, mountId);
  UniqueFd info = openOwnFolder(folder.get(), path + "/info", "info", user, mountId);
  return TrashDirectory(path, std::move(files), std::move(info));
}

TrashDirectory TrashDirectory::openInTopDirectory(int top, const std::string &topPath, uid_t user,
                                                  std::uint64_t mountId) {
  const std::string prefix = topPath == "/" ? "" : topPath;
  const std::string uid = std::to_string(user);
  std::string refusals;
  if (UniqueFd shared = openSharedTrash(top, prefix + "/.Trash", refusals)) {
    try {
      return open(shared.get(), prefix + "/.Trash", uid, user, mountId);
    } catch (const TrashError &refusal) {
      refusals += std::string(refusal.what()) + "; ";
    }
  }
  try {
    return open(top, topPath, ".Trash-" + uid, user, mountId);
  } catch (const TrashError &refusal) {
    throw TrashError("no usable Trash on the file system mounted at " + topPath + ": " + refusals + refusal.what());
  }
}

} // namespace tarnwick
