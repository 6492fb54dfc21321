#include "TarnwickCore/Support/NoLinkPath.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <string_view>

namespace tarnwick {
namespace {

constexpr int folderOpenFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW;

} // namespace


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

int openDirectoryNoFollow(const std::string &path) {
  if (path.size() < PATH_MAX)
    return ::open(path.c_str(), folderOpenFlags);
  // Walk down in pieces shorter than PATH_MAX, each relative to the last.
  UniqueFd base;
  std::size_t start = 0;
  while (path.size() - start >= PATH_MAX) {
    std::size_t cut = path.rfind('/', start + PATH_MAX - 2);
    if (cut == std::string::npos || cut <= start) {
      errno = ENAMETOOLONG;
      return -1;
    }
    // A cut at the leading separator keeps the root itself.
    std::string piece = cut == 0 ? std::string(1, '/') : path.substr(start, cut - start);
    int next = ::openat(base.valid() ? base.get() : AT_FDCWD, piece.c_str(),
                        O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (next < 0)
      return -1;
    base.reset(next);
    start = cut + 1;
  }
  return ::openat(base.valid() ? base.get() : AT_FDCWD, path.c_str() + start, folderOpenFlags);
}

} // namespace tarnwick
