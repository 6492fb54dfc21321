#include "TarnwickCore/Support/UserEnvironment.h"

#include "TarnwickCore/Support/PathJoin.h"
#include "TarnwickCore/Support/RealPath.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace tarnwick {
namespace {

bool isAbsolute(const char *path) { return path && path[0] == '/'; }

// $`variable` when it is absolute (the XDG rules ignore a relative one),
// else `fallback` below `home`.
std::string xdgFolder(const char *variable, const std::string &home, const char *fallback) {
  if (const char *value = std::getenv(variable); isAbsolute(value))
    return value;
  std::string folder = home;
  appendPathComponent(folder, fallback);
  return folder;
}

std::string withoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/')
    path.pop_back();
  return path;
}

// The password database's home of the real user, or "/" when it has no
// absolute one.
std::string passwordDatabaseHome() {
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd *found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
      !isAbsolute(found->pw_dir))
    return "/";
  return found->pw_dir;
}

} // namespace

UserEnvironment UserEnvironment::fromProcess() {
  UserEnvironment user;
  const char *home = std::getenv("HOME");
  user.homeDirectory = isAbsolute(home) ? std::string(home) : passwordDatabaseHome();
  user.dataHome = xdgFolder("XDG_DATA_HOME", user.homeDirectory, ".local/share");
  user.configHome = xdgFolder("XDG_CONFIG_HOME", user.homeDirectory, ".config");
  user.cacheHome = withoutTrailingSlashes(xdgFolder("XDG_CACHE_HOME", user.homeDirectory, ".cache"));
  // A cache folder holding the home folder would make everything in the
  // home a cache entry: such a setting is a mistake, not a cache.
  const std::string homeFolder = withoutTrailingSlashes(user.homeDirectory);
  if (user.cacheHome == "/" || homeFolder == user.cacheHome || homeFolder.starts_with(user.cacheHome + "/")) {
    user.cacheHome = homeFolder;
    appendPathComponent(user.cacheHome, ".cache");
  }
  return user;
}

std::string UserEnvironment::cacheHomeOf(const std::string &homeDirectory) {
  const UserEnvironment user = fromProcess();
  if (withoutTrailingSlashes(user.homeDirectory) == withoutTrailingSlashes(homeDirectory))
    return user.cacheHome;
  std::string folder = withoutTrailingSlashes(homeDirectory);
  appendPathComponent(folder, ".cache");
  return folder;
}

std::string absoluteUserPath(const std::string &path) {
  // The real path when there is one: "link/.." means the target's parent,
  // and "." is named after the folder it is.
  if (std::optional<std::string> real = realPath(path))
    return std::move(*real);
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(path, error);
  if (error)
    return path;
  std::string tidy = absolute.lexically_normal().native();
  while (tidy.size() > 1 && tidy.back() == '/')
    tidy.pop_back();
  return tidy;
}

} // namespace tarnwick
