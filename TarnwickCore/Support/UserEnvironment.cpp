#include "TarnwickCore/Support/UserEnvironment.h"

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>

namespace tarnwick {

std::string homeDirectory() {
  if (const char *home = std::getenv("HOME"); home && *home)
    return home;
  if (const passwd *entry = ::getpwuid(::getuid()); entry && entry->pw_dir)
    return entry->pw_dir;
  return "/";
}

std::string absoluteUserPath(const std::string &path) {
  // The real path when there is one: "link/.." means the target's parent,
  // and "." is named after the folder it is.
  if (char *resolved = ::realpath(path.c_str(), nullptr)) {
    std::string result = resolved;
    std::free(resolved);
    return result;
  }
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
