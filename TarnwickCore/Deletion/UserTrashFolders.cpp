#include "TarnwickCore/Deletion/UserTrashFolders.h"

#include "TarnwickCore/Deletion/GuardFileFacts.h"
#include "TarnwickCore/Support/MountTable.h"
#include "TarnwickCore/Support/NoLinkPath.h"
#include "TarnwickCore/Support/PathJoin.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <string_view>
#include <sys/stat.h>

namespace tarnwick {
namespace {

// File systems that never hold a trash; autofs would be mounted by looking.
constexpr std::array<std::string_view, 21> pseudoTypes = {
    "proc",   "sysfs",   "devtmpfs", "devpts",   "cgroup",      "cgroup2",  "tracefs",
    "debugfs", "securityfs", "pstore", "bpf",    "mqueue",      "hugetlbfs", "configfs",
    "fusectl", "binfmt_misc", "efivarfs", "nsfs", "rpc_pipefs", "selinuxfs", "autofs"};

std::optional<std::uint64_t> mountIdOf(int folder, const char *name) {
  struct statx st;
  if (::statx(folder, name, AT_SYMLINK_NOFOLLOW | (*name ? 0 : AT_EMPTY_PATH), STATX_MNT_ID, &st) != 0 ||
      !(st.stx_mask & STATX_MNT_ID))
    return std::nullopt;
  return st.stx_mnt_id;
}

std::optional<FileIdentity> identityOf(int folder) {
  struct stat st;
  if (folder < 0 || ::fstat(folder, &st) != 0)
    return std::nullopt;
  return FileIdentity{st.st_dev, st.st_ino};
}

// Collects folders, each once: two mounts of one file system show the
// same trash folders.
class FolderSet {
public:
  void add(TrashDirectory directory, const std::string &top, bool isTopDirectoryTrash) {
    const auto identity = identityOf(directory.files() >= 0 ? directory.files() : directory.info());
    if (!identity)
      return; // neither files/ nor info/: nothing to list or empty
    if (std::find(seen_.begin(), seen_.end(), *identity) != seen_.end())
      return;
    seen_.push_back(*identity);
    folders_.push_back({std::move(directory), top, isTopDirectoryTrash});
  }
  std::vector<UserTrashFolder> take() { return std::move(folders_); }

private:
  std::vector<FileIdentity> seen_;
  std::vector<UserTrashFolder> folders_;
};

void addHomeTrash(const std::string &homeTrash, uid_t user, const std::optional<MountTable> &mounts,
                  FolderSet &found, std::vector<std::string> &problems) {
  if (homeTrash.empty() || homeTrash.front() != '/')
    return;
  const std::string parent = parentPath(homeTrash), name = homeTrash.substr(homeTrash.rfind('/') + 1);
  UniqueFd data(::open(parent.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  const auto mountId = data ? mountIdOf(data.get(), name.c_str()) : std::nullopt;
  if (!mountId)
    return; // no Trash yet
  const MountEntry *mount = mounts ? mounts->byId(*mountId) : nullptr;
  try {
    if (auto trash = TrashDirectory::openExisting(data.get(), parent, name, user, *mountId))
      found.add(std::move(*trash), mount ? mount->mountPoint : "/", false);
  } catch (const TrashError &refusal) {
    problems.push_back(refusal.what());
  }
}

void addTopDirectoryTrashes(const MountEntry &mount, uid_t user, FolderSet &found,
                            std::vector<std::string> &problems) {
  if (std::find(pseudoTypes.begin(), pseudoTypes.end(), mount.fileSystemType) != pseudoTypes.end())
    return;
  UniqueFd top = openFolderWithoutLinks(mount.mountPoint);
  // Another mount stacked on it, or a link on the way: its trashes are
  // not reachable by this path.
  if (!top || mountIdOf(top.get(), "") != mount.mountId)
    return;
  for (TrashDirectory &trash :
       TrashDirectory::openExistingInTopDirectory(top.get(), mount.mountPoint, user, mount.mountId, problems))
    found.add(std::move(trash), mount.mountPoint, true);
}

} // namespace

std::vector<UserTrashFolder> UserTrashFolders::open(const std::string &homeTrash, uid_t user,
                                                    std::vector<std::string> &problems) {
  const std::optional<MountTable> mounts = MountTable::readCurrent();
  FolderSet found;
  addHomeTrash(homeTrash, user, mounts, found, problems);
  if (!mounts) {
    problems.push_back("the mount table cannot be read: only the home Trash is listed");
    return found.take();
  }
  for (const MountEntry &mount : mounts->entries())
    addTopDirectoryTrashes(mount, user, found, problems);
  // A file system mounted twice tells the same refusal twice.
  for (auto at = problems.begin(); at != problems.end();)
    at = std::find(problems.begin(), at, *at) != at ? problems.erase(at) : at + 1;
  return found.take();
}

std::string UserTrashFolders::whyUnusable(const std::string &trashDirectory, const std::vector<std::string> &problems) {
  std::string why = "its trash folder " + trashDirectory + " cannot be used now";
  // Problems start with the path they concern: the folder or one inside it.
  const auto concerned = std::find_if(problems.begin(), problems.end(), [&](const std::string &problem) {
    return problem.starts_with(trashDirectory) && problem.size() > trashDirectory.size() &&
           (problem[trashDirectory.size()] == ' ' || problem[trashDirectory.size()] == '/');
  });
  if (concerned != problems.end())
    why += " (" + *concerned + ")";
  return why;
}

} // namespace tarnwick
