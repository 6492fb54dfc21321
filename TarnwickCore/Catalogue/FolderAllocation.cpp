#include "TarnwickCore/Catalogue/FolderAllocation.h"

#include "TarnwickCore/Support/UniqueFd.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

namespace tarnwick {
namespace {

constexpr int folderOpenFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr int maximumDepth = 64;

struct DirCloser {
  void operator()(DIR *dir) const { ::closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

bool isDotOrDotDot(const char *name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Adds what the folder open at `fd` holds; takes the descriptor over.
void addFolder(UniqueFd fd, int depth, const FolderAllocation::TopLevelFilter &counted, FolderAllocation &total) {
  DirHandle dir(::fdopendir(fd.get()));
  if (!dir) {
    ++total.unreadableFolders;
    return;
  }
  fd.release();
  const int dirFd = ::dirfd(dir.get());
  errno = 0;
  while (const dirent *entry = ::readdir(dir.get())) {
    if (isDotOrDotDot(entry->d_name) || (depth == 0 && counted && !counted(entry->d_name)))
      continue;
    struct stat status {};
    if (::fstatat(dirFd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0)
      continue;
    if (!S_ISDIR(status.st_mode)) {
      total.bytes += static_cast<std::int64_t>(status.st_blocks) * 512;
    } else if (depth + 1 < maximumDepth) {
      UniqueFd child(::openat(dirFd, entry->d_name, folderOpenFlags));
      if (child)
        addFolder(std::move(child), depth + 1, counted, total);
      else
        ++total.unreadableFolders;
    }
    errno = 0;
  }
  if (errno != 0)
    ++total.unreadableFolders;
}

} // namespace

FolderAllocation FolderAllocation::measure(const std::string &path, const TopLevelFilter &counted) {
  FolderAllocation total;
  UniqueFd fd(::open(path.c_str(), folderOpenFlags));
  if (!fd) {
    const int error = errno;
    total.exists = error != ENOENT;
    total.rootError = error == ENOENT ? 0 : error;
    return total;
  }
  total.exists = true;
  addFolder(std::move(fd), 0, counted, total);
  return total;
}

} // namespace tarnwick
