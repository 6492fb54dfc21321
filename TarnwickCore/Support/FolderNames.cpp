#include "TarnwickCore/Support/FolderNames.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <string_view>
#include <unistd.h>

namespace tarnwick {

Result<std::vector<std::string>> folderNames(int folder, const std::string &shown) {
  std::vector<std::string> names;
  if (folder < 0)
    return names;
  const int fd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const std::unique_ptr<DIR, int (*)(DIR *)> stream(fd >= 0 ? ::fdopendir(fd) : nullptr, ::closedir);
  if (!stream) {
    const Failure failure = Failure::fromErrno("read", shown);
    if (fd >= 0)
      ::close(fd);
    return failure;
  }
  errno = 0;
  for (const dirent *entry; (entry = ::readdir(stream.get())); errno = 0)
    if (std::string_view name = entry->d_name; name != "." && name != "..")
      names.emplace_back(name);
  if (errno != 0)
    return Failure::fromErrno("read", shown);
  return names;
}

} // namespace tarnwick
