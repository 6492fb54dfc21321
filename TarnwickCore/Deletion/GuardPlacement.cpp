#include "TarnwickCore/Deletion/GuardPlacement.h"

#include "TarnwickCore/Deletion/DeletionGuard.h"
#include "TarnwickCore/Support/PathJoin.h"

#include <array>
#include <unistd.h>

namespace tarnwick {
namespace {

using Kind = DeletionGuardError::Kind;

// `inner`'s path below `outer`'s, without the separator; empty when equal.
std::string_view below(const FileSystemLocation &inner, const FileSystemLocation &outer) {
  if (inner.path.size() == outer.path.size())
    return {};
  return std::string_view(inner.path).substr(outer.path == "/" ? 1 : outer.path.size() + 1);
}

// Folders no user's home can be, besides the system roots: a user whose
// entry names one of these has no home of their own to clean.
constexpr auto systemFolders = std::to_array<std::string_view>(
    {"/boot", "/lib", "/lib32", "/lib64", "/media", "/mnt", "/proc", "/run", "/snap", "/srv", "/sys", "/tmp",
     "/usr/local", "/usr/sbin", "/usr/bin", "/var/tmp"});

} // namespace

void GuardPlacement::refuseInside(const ExistingProtectedLocation &location, std::string_view rest) const {
  if (rest.empty() || location.protection == Protection::subtree ||
      (location.protection == Protection::profile && !ProtectedLocations::isInsideCacheFolder(rest)))
    throw DeletionGuardError(Kind::blockedProtectedPath, target_);
}

void GuardPlacement::refuseOtherNamesOfProtected() const {
  for (const ExistingProtectedLocation &location : protectedNow_.locations)
    if (location.identity == status_.identity)
      throw DeletionGuardError(Kind::blockedProtectedPath, target_);
  // Folder by folder up to the mount: a protected folder under another name.
  for (std::string folder = parentPath(target_);; folder = parentPath(folder)) {
    if (const std::optional<FileIdentity> folderIdentity = files_.identity(folder)) {
      const std::string_view rest = std::string_view(target_).substr(folder == "/" ? 1 : folder.size() + 1);
      for (const ExistingProtectedLocation &location : protectedNow_.locations)
        if (location.identity == *folderIdentity && location.protection != Protection::itself)
          refuseInside(location, rest);
    }
    if (folder == "/")
      break;
  }
  // Past mounts: the candidate's places in file systems.
  for (const FileSystemLocation &where : places())
    for (const ExistingProtectedLocation &location : protectedNow_.locations)
      for (const FileSystemLocation &protectedPlace : location.places)
        if (where.isAtOrInside(protectedPlace))
          refuseInside(location, below(where, protectedPlace));
}

void GuardPlacement::refuseHoldersOfProtected() const {
  if (!status_.isDirectory)
    return;
  for (const FileSystemLocation &where : places())
    for (const ExistingProtectedLocation &location : protectedNow_.locations)
      for (const FileSystemLocation &protectedPlace : location.places)
        if (protectedPlace.isAtOrInside(where) && !(protectedPlace == where))
          throw DeletionGuardError(Kind::containsProtectedLocation, target_, location.path);
}

std::vector<FileSystemLocation> GuardPlacement::places() const {
  // Located through the very mount that shows it; a candidate that cannot
  // be placed (the mounts changed meanwhile) is not approved.
  std::vector<FileSystemLocation> found = mounts_.placesOf(realTarget_, status_.mountId);
  if (found.empty())
    throw DeletionGuardError(Kind::containsMountPoint, target_, "");
  return found;
}

void GuardPlacement::refuseMounts() const {
  if (status_.isMountRoot)
    throw DeletionGuardError(Kind::containsMountPoint, target_, target_);
  if (!status_.isDirectory)
    return;
  if (auto mountPoint = mounts_.mountPointAtOrBelow(realTarget_))
    throw DeletionGuardError(Kind::containsMountPoint, target_, *mountPoint == realTarget_ ? target_ : *mountPoint);
}

bool isUsableHome(const std::string &home, const MountTable &mounts, const GuardFileFacts &files) {
  const std::string real = files.canonicalPath(home).value_or(home);
  const std::optional<GuardFileFacts::LinkStatus> status = files.linkStatus(real);
  if (!status || !status->isDirectory || status->owner != ::geteuid())
    return false;
  // Compared by identity too: a bind mount of "/" or /usr is that folder.
  auto isFolder = [&](std::string_view folder) {
    const std::optional<FileIdentity> identity = files.identity(std::string(folder));
    return home == folder || real == folder || (identity && *identity == status->identity);
  };
  for (std::string_view root : DeletionGuard::systemProtectedRoots)
    if (isFolder(root))
      return false;
  for (std::string_view folder : systemFolders)
    if (isFolder(folder))
      return false;
  // The password database's home, at its real place: /root may be a link
  // into /var.
  const std::optional<std::string> accountHome = files.accountHome();
  const bool isAccountHome = accountHome && files.canonicalPath(*accountHome).value_or(*accountHome) == real;
  for (const SystemTree &tree : systemTrees)
    if (holdsPath(tree.path, real) && !(tree.holdsAccountHomes && isAccountHome))
      return false;
  const std::optional<FileSystemLocation> where = mounts.locate(real, status->mountId);
  return where && where->path != "/";
}

} // namespace tarnwick
