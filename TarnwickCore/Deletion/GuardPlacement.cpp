#include "TarnwickCore/Deletion/GuardPlacement.h"

#include "TarnwickCore/Deletion/DeletionGuard.h"

#include <array>
#include <unistd.h>

namespace tarnwick {
namespace {

using Kind = DeletionGuardError::Kind;

std::string parentOf(const std::string &path) {
  const auto slash = path.rfind('/');
  return slash == 0 ? "/" : path.substr(0, slash);
}

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
  for (std::string folder = parentOf(target_);; folder = parentOf(folder)) {
    if (const std::optional<FileIdentity> folderIdentity = files_.identity(folder)) {
      const std::string_view rest = std::string_view(target_).substr(folder == "/" ? 1 : folder.size() + 1);
      for (const ExistingProtectedLocation &location : protectedNow_.locations)
        if (location.identity == *folderIdentity && location.protection != Protection::itself)
          refuseInside(location, rest);
    }
    if (folder == "/")
      break;
  }
  // Past mounts: the candidate's place in its file system.
  if (const std::optional<FileSystemLocation> where = mounts_.locate(realTarget_))
    for (const ExistingProtectedLocation &location : protectedNow_.locations)
      if (where->isAtOrInside(location.where))
        refuseInside(location, below(*where, location.where));
}

void GuardPlacement::refuseHoldersOfProtected() const {
  const std::optional<FileSystemLocation> where = mounts_.locate(realTarget_);
  if (!where || !status_.isDirectory)
    return;
  for (const ExistingProtectedLocation &location : protectedNow_.locations)
    if (location.where.isAtOrInside(*where) && !(location.where == *where))
      throw DeletionGuardError(Kind::containsProtectedLocation, target_, location.path);
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
  for (const std::string &name : {home, real}) {
    for (std::string_view root : DeletionGuard::systemProtectedRoots)
      if (name == root)
        return false;
    for (std::string_view folder : systemFolders)
      if (name == folder)
        return false;
  }
  const std::optional<FileSystemLocation> where = mounts.locate(real);
  if (!where || where->path == "/")
    return false;
  const std::optional<GuardFileFacts::LinkStatus> status = files.linkStatus(real);
  return status && status->isDirectory && status->owner == ::geteuid();
}

} // namespace tarnwick
