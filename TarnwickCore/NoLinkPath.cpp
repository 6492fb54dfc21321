#include "TarnwickCore/NoLinkPath.h"

#include <cerrno>
#include <fcntl.h>
#include <string_view>

namespace tarnwick {

UniqueFd openFolderWithoutLinks(const std::string &path) {
  if (path.empty() || path.front() != '/') {
    errno = EINVAL;
    return {};
  }
  constexpr int flags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
  UniqueFd folder(::open("/", flags));
  std::string_view rest(path);
  while (folder) {
    const auto start = rest.find_first_not_of('/');
    if (start == std::string_view::npos)
      break;
    rest.remove_prefix(start);
    const auto end = rest.find('/');
    const std::string component(rest.substr(0, end));
    if (component == "." || component == "..") {
      errno = EINVAL;
      return {};
    }
    folder.reset(::openat(folder.get(), component.c_str(), flags));
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
  }
  return folder;
}

ParentAndName openParentWithoutLinks(const std::string &path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos || slash + 1 == path.size()) {
    errno = EINVAL;
    return {};
  }
  return {openFolderWithoutLinks(slash == 0 ? std::string("/") : path.substr(0, slash)), path.substr(slash + 1)};
}

} // namespace tarnwick
