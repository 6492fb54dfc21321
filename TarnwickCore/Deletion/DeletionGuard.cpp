#include "TarnwickCore/Deletion/DeletionGuard.h"

#include "TarnwickCore/Catalogue/ProjectArtefactRules.h"
#include "TarnwickCore/Deletion/GuardPlacement.h"
#include "TarnwickCore/Deletion/MovedCacheHome.h"
#include "TarnwickCore/Support/Failure.h"
#include "TarnwickCore/Support/PathJoin.h"

#include <algorithm>
#include <cerrno>
#include <vector>
#include <unistd.h>

namespace tarnwick {
namespace {

using Kind = DeletionGuardError::Kind;

bool hasTraversal(std::string_view path) {
  for (std::size_t start = 0;;) {
    std::size_t slash = path.find('/', start);
    if (path.substr(start, slash == std::string_view::npos ? slash : slash - start) == "..")
      return true;
    if (slash == std::string_view::npos)
      return false;
    start = slash + 1;
  }
}

// A trailing separator (or "/." at the end) asks for a folder, as it does
// of the kernel: "data/" names nothing when data is a file.
bool namesAFolder(std::string_view raw) { return raw.ends_with('/') || raw.ends_with("/.") || raw == "."; }

// A NUL would end the path at the system calls while the string tests saw
// the whole of it, so the two would not name the same file.
std::string printable(std::string_view raw) {
  std::string shown;
  for (char c : raw)
    c == '\0' ? shown += "\\0" : shown += c;
  return shown;
}

bool isAtOrBelow(std::string_view target, std::string_view root) {
  return target == root || (target.starts_with(root) && target.size() > root.size() && target[root.size()] == '/');
}

// Whether `target` is at or below home/`pattern`, where a "*" component of
// the pattern stands for any one component.
bool isAtOrBelowPattern(std::string_view target, const std::string &home, std::string_view pattern) {
  if (!isAtOrBelow(target, home) || target.size() == home.size())
    return false;
  std::string_view rest = target.substr(home == "/" ? 1 : home.size() + 1);
  while (!pattern.empty()) {
    const std::size_t patternEnd = std::min(pattern.find('/'), pattern.size());
    const std::size_t restEnd = std::min(rest.find('/'), rest.size());
    const std::string_view wanted = pattern.substr(0, patternEnd);
    if (rest.empty() || (wanted != "*" && wanted != rest.substr(0, restEnd)))
      return false;
    pattern.remove_prefix(std::min(patternEnd + 1, pattern.size()));
    rest.remove_prefix(std::min(restEnd + 1, rest.size()));
  }
  return true;
}

// Only a missing entry or folder on the way is "does not exist"; no
// permission to look, a name too long or a loop of links must not send the
// user looking for a file that may well be there.
[[noreturn]] void refuseUnexamined(const std::string &target, int error) {
  if (error == 0 || error == ENOENT || error == ENOTDIR)
    throw DeletionGuardError(Kind::pathDoesNotExist, target);
  throw DeletionGuardError(Kind::pathCannotBeExamined, target, Failure{{}, {}, error, {}}.explanation());
}

// The candidate's real location, when its parent is where its name says:
// the home folder's own real location (which may itself be behind a link)
// plus the rest of the path. A link in a folder on the way
// ("~/.cache/toSsh/id_rsa" with toSsh pointing at ~/.ssh) would let every
// string test approve a path that really lies elsewhere.
std::string realLocation(const std::string &target, const std::string &home, const GuardFileFacts &files) {
  const std::string parent = parentPath(target);
  const auto realParent = files.canonicalPath(parent);
  if (!realParent)
    throw DeletionGuardError(Kind::pathDoesNotExist, target);
  std::string expected = parent;
  if (isAtOrBelow(parent, home))
    if (auto realHome = files.canonicalPath(home))
      expected = DeletionGuard::normalizePath(*realHome + parent.substr(home.size()));
  if (*realParent != expected)
    throw DeletionGuardError(Kind::symbolicLinkNotAllowed, target);
  return (*realParent == "/" ? "" : *realParent) + target.substr(parent == "/" ? 0 : parent.size());
}

// `target` named by the home folder's own name when it lies in the real
// folder the home leads to. A home reached through a link (/home/u leading
// to /var/home/u) has two names, and a relative path takes the real one from
// the working folder; every rule about the home reads it by the name it was
// given. Only a usable home (isUsableHome) is renamed into: a link to a
// system folder makes no home of that folder.
std::string namedInHome(const std::string &target, const std::string &home, const GuardFileFacts &files) {
  if (isAtOrBelow(target, home))
    return target;
  const std::optional<std::string> realHome = files.canonicalPath(home);
  if (!realHome || *realHome == home || !isAtOrBelow(target, *realHome))
    return target;
  const std::optional<MountTable> mounts = files.mountTable();
  if (!mounts || !isUsableHome(home, *mounts, files))
    return target;
  return home + target.substr(realHome->size());
}

bool isRegularFileAt(const GuardFileFacts &files, const std::string &path) {
  const std::optional<GuardFileFacts::LinkStatus> status = files.linkStatus(path);
  return status && !status->isSymbolicLink && !status->isDirectory;
}

// A folder that a project's tools rebuild, beside the marker file that
// names the tool (ProjectArtefactRules), read now: a folder in a project
// folder strictly inside the home, the markers regular files and not
// links. The home itself is no project.
bool isProjectArtefact(const std::string &target, const std::string &home, const GuardFileFacts &files) {
  const std::string project = parentPath(target);
  if (!isAtOrBelow(project, home) || project == home)
    return false;
  const std::optional<GuardFileFacts::LinkStatus> status = files.linkStatus(target);
  if (!status || status->isSymbolicLink || !status->isDirectory)
    return false;
  auto isRegularFile = [&](std::string_view relative) {
    return isRegularFileAt(files, project + "/" + std::string(relative));
  };
  auto hasMarkerAbove = [&](std::span<const std::string_view> markers) {
    for (std::string folder = parentPath(project); folder.size() > home.size(); folder = parentPath(folder))
      for (std::string_view marker : markers)
        if (isRegularFileAt(files, folder + "/" + std::string(marker)))
          return true;
    return false;
  };
  return ProjectArtefactRules::kindOf(lastPathComponent(target), isRegularFile, hasMarkerAbove) != nullptr;
}

void requireAllowlistedOrConfirmed(const std::string &target, const GuardFileFacts::LinkStatus &status,
                                   const std::string &home, bool usableHome, bool confirmed,
                                   const ProtectedSnapshot &protectedNow, const MountTable &mounts,
                                   const GuardFileFacts &files) {
  if (!usableHome) {
    if (isAtOrBelow(target, DeletionGuard::allowlistedAbsolutePrefix))
      return;
    throw DeletionGuardError(Kind::outsideAllowlistedRoots, target);
  }
  for (std::string_view allowed : DeletionGuard::allowlistedRelativeRoots)
    if (isAtOrBelowPattern(target, home, allowed))
      return;
  if (ProtectedLocations::isCacheInsideProfile(target, home) || isInMovedCacheHome(target, status, home, protectedNow, mounts, files) ||
      isProjectArtefact(target, home, files))
    return;
  if (isAtOrBelow(target, DeletionGuard::allowlistedAbsolutePrefix))
    return;
  if (!confirmed || !target.starts_with(home + "/"))
    throw DeletionGuardError(Kind::outsideAllowlistedRoots, target);
  const std::string_view relative = std::string_view(target).substr(home.size() + 1);
  const bool isTopLevelItself = relative.find('/') == std::string_view::npos;
  const auto &sensitive = DeletionGuard::sensitiveTopLevelNames;
  if (isTopLevelItself && std::find(sensitive.begin(), sensitive.end(), relative) != sensitive.end())
    throw DeletionGuardError(Kind::outsideAllowlistedRoots, target);
}

} // namespace

const std::array<std::string_view, 17> DeletionGuard::systemProtectedRoots = {
    "/",    "/System", "/Library", "/Users", "/Applications", "/bin",    "/sbin", "/usr", "/var",
    "/private", "/etc", "/dev",     "/Volumes", "/cores",        "/opt",    "/net",  "/home"};

const std::array<std::string_view, DeletionGuard::allowlistedRootCount> DeletionGuard::allowlistedRelativeRoots = {
    "Library/Caches",
    "Library/Developer/Xcode/DerivedData",
    "Library/Developer/Xcode/Archives",
    "Library/Developer/Xcode/iOS DeviceSupport",
    "Library/Developer/Xcode/watchOS DeviceSupport",
    "Library/Developer/CoreSimulator/Caches",
    "Library/Containers",
    "Library/Application Support/Adobe/Common/Media Cache Files",
    "Library/Application Support/Adobe/Common/Media Cache",
    "Library/Application Support/Adobe/Common/Peak Files",
    "Library/Application Support/Blackmagic Design/DaVinci Resolve/CacheClip",
    "Movies/CacheClip",
    "Movies/.gallery",
    ".npm",
    ".cache",
    ".cargo/registry",
    ".orbstack/log",
    ".ollama/logs",
    ".lmstudio/server-logs",
    ".Trash",
    // Linux caches outside ~/.cache, as the catalogue's rows name them.
    ".cargo/git",
    ".gradle/caches",
    ".gradle/wrapper/dists",
    ".m2/repository",
    ".m2/wrapper/dists",
    "go/pkg/mod",
    ".conda/pkgs",
    "miniconda3/pkgs",
    "anaconda3/pkgs",
    "miniforge3/pkgs",
    "mambaforge/pkgs",
    "micromamba/pkgs",
    ".bun/install/cache",
    ".nuget/packages",
    ".ccache",
    ".thumbnails",
    ".nv/GLCache",
    ".local/share/Steam/steamapps/shadercache",
    ".ollama/models",
    ".vscode-server/data/CachedExtensionVSIXs",
    // Sandboxed applications' own cache folders.
    ".var/app/*/cache",
    "snap/*/*/.cache",
};

const std::array<std::string_view, 12> DeletionGuard::sensitiveTopLevelNames = {
    "Documents", "Desktop", "Pictures", "Movies", "Videos", "Music", "Library", ".ssh", ".gnupg", ".aws", ".kube",
    ".config"};

std::string DeletionGuard::normalizePath(std::string_view path) {
  while (path.size() >= 2 && path.back() == '/')
    path.remove_suffix(1);
  return std::string(path);
}

std::string DeletionGuard::standardize(std::string_view path) {
  std::string absolute;
  if (!path.starts_with('/')) {
    char *cwd = ::getcwd(nullptr, 0);
    if (!cwd) // no working folder to resolve against: stays relative
      return std::string(path);
    absolute = cwd;
    std::free(cwd);
    absolute += '/';
  }
  absolute += path;
  std::string result;
  for (std::size_t start = 0; start < absolute.size();) {
    auto slash = absolute.find('/', start);
    if (slash == std::string::npos)
      slash = absolute.size();
    const std::string_view component = std::string_view(absolute).substr(start, slash - start);
    if (!component.empty() && component != ".") {
      result += '/';
      result += component;
    }
    start = slash + 1;
  }
  return result.empty() ? "/" : result;
}

std::string DeletionGuard::validateDeletionCandidate(std::string_view rawPath, const std::string &homeDirectory,
                                                     bool allowUserConfirmedHomeItem, const GuardFileFacts &files) {
  return approve(rawPath, homeDirectory, allowUserConfirmedHomeItem, nullptr, files).path;
}

ApprovedDeletion DeletionGuard::approve(std::string_view rawPath, const std::string &homeDirectory,
                                        bool allowUserConfirmedHomeItem, const ProtectedSnapshot *protectedNow,
                                        const GuardFileFacts &files) {
  // Only nothing at all is empty: a name of spaces or tabs is a name.
  if (rawPath.empty())
    throw DeletionGuardError(Kind::emptyPath, {});
  if (hasTraversal(rawPath))
    throw DeletionGuardError(Kind::pathTraversalAttempt, std::string(rawPath));
  if (rawPath.find('\0') != std::string_view::npos)
    throw DeletionGuardError(Kind::pathDoesNotExist, printable(rawPath));
  const std::string home = standardize(homeDirectory);
  const std::string target = namedInHome(standardize(rawPath), home, files);
  if (!target.starts_with('/')) // relative, and the working folder is gone
    throw DeletionGuardError(Kind::pathDoesNotExist, target);

  for (std::string_view root : systemProtectedRoots)
    if (target == root)
      throw DeletionGuardError(Kind::blockedProtectedPath, target);
  if (ProtectedLocations::protectorOf(target, home))
    throw DeletionGuardError(Kind::blockedProtectedPath, target);

  // A link is refused as one, dangling or not: "does not exist" would send
  // the user looking for a file that is plainly there.
  errno = 0;
  const std::optional<GuardFileFacts::LinkStatus> status = files.linkStatus(target);
  if (!status)
    refuseUnexamined(target, errno);
  if (status->isSymbolicLink)
    throw DeletionGuardError(Kind::symbolicLinkNotAllowed, target);
  if (!files.exists(target))
    throw DeletionGuardError(Kind::pathDoesNotExist, target);
  if (namesAFolder(rawPath) && !status->isDirectory)
    throw DeletionGuardError(Kind::pathDoesNotExist, target);
  if (status->isImmutable)
    throw DeletionGuardError(Kind::sipOrSystemImmutable, target);
  const std::string realTarget = realLocation(target, home, files);

  std::optional<ProtectedSnapshot> ownSnapshot;
  if (!protectedNow)
    protectedNow = &ownSnapshot.emplace(ProtectedLocations::snapshot(home, files));
  const std::optional<MountTable> mounts = files.mountTable();
  if (!mounts || !protectedNow->mountsKnown)
    throw DeletionGuardError(Kind::containsMountPoint, target, "");
  const GuardPlacement placement{target, realTarget, *status, *mounts, *protectedNow, files};
  placement.refuseOtherNamesOfProtected();
  placement.refuseHoldersOfProtected();
  placement.refuseMounts();
  requireAllowlistedOrConfirmed(target, *status, home, isUsableHome(home, *mounts, files), allowUserConfirmedHomeItem,
                                *protectedNow, *mounts, files);
  return {target, realTarget, status->identity, status->mountId, status->isDirectory};
}

} // namespace tarnwick
