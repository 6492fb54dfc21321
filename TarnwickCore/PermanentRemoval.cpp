#include "TarnwickCore/PermanentRemoval.h"

#include "TarnwickCore/LinuxBatchEntrySource.h"
#include "TarnwickCore/UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace tarnwick {
namespace {

[[noreturn]] void fail(const std::string &what, const std::string &name) {
  throw RemovalError("cannot remove " + name + ": " + what + ": " + std::strerror(errno));
}

// One folder being emptied: its open stream and its name in its parent.
struct Level {
  DIR *stream;
  std::string name;
};

// Opens `name` below `parent` as a folder, refusing to follow a link.
// Nothing (errno set) when it is not a folder, or no longer one.
DIR *openFolder(int parent, const char *name) {
  int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0)
    return nullptr;
  DIR *stream = ::fdopendir(fd);
  if (!stream)
    ::close(fd);
  return stream;
}

// Removes `name` below `parent` if it is anything but a folder; false (with
// errno EISDIR) for a folder, which the caller then empties first.
bool removeNonFolder(int parent, const char *name) { return ::unlinkat(parent, name, 0) == 0; }

} // namespace

void removePermanently(const std::string &path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos || slash + 1 == path.size())
    throw RemovalError("cannot remove " + path + ": not an absolute path to an item");
  UniqueFd parent(openDirectoryNoFollow(slash == 0 ? "/" : path.substr(0, slash)));
  if (!parent)
    fail("cannot open its folder", path);
  const std::string name = path.substr(slash + 1);
  if (removeNonFolder(parent.get(), name.c_str()))
    return;
  if (errno != EISDIR)
    fail("unlink", path);

  std::vector<Level> levels;
  auto closeAll = [&] {
    for (Level &level : levels)
      ::closedir(level.stream);
    levels.clear();
  };
  auto descend = [&](int from, const std::string &child) {
    DIR *stream = openFolder(from, child.c_str());
    if (stream) {
      levels.push_back({stream, child});
      return;
    }
    // Swapped for a link or a file since it was listed: remove just that.
    if ((errno == ELOOP || errno == ENOTDIR) && removeNonFolder(from, child.c_str()))
      return;
    int error = errno;
    closeAll();
    errno = error;
    fail("open", child);
  };
  descend(parent.get(), name);
  while (!levels.empty()) {
    Level &level = levels.back();
    errno = 0;
    const dirent *entry = ::readdir(level.stream);
    if (!entry) {
      if (errno != 0) {
        int error = errno;
        closeAll();
        errno = error;
        fail("read", path);
      }
      std::string finished = level.name;
      ::closedir(level.stream);
      levels.pop_back();
      const int from = levels.empty() ? parent.get() : ::dirfd(levels.back().stream);
      if (::unlinkat(from, finished.c_str(), AT_REMOVEDIR) != 0) {
        int error = errno;
        closeAll();
        errno = error;
        fail("remove folder", finished);
      }
      continue;
    }
    std::string_view child = entry->d_name;
    if (child == "." || child == "..")
      continue;
    if (removeNonFolder(::dirfd(level.stream), entry->d_name))
      continue;
    if (errno != EISDIR) {
      int error = errno;
      std::string failed(child);
      closeAll();
      errno = error;
      fail("unlink", failed);
    }
    descend(::dirfd(level.stream), std::string(child));
  }
}

} // namespace tarnwick
