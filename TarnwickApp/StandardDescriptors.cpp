#include "TarnwickApp/StandardDescriptors.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace quillane {

void holdClosedStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
      continue;
    // Those below are open, so this is the lowest free descriptor.
    const int held = ::open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
    if (held >= 0 && held != fd) {
      ::dup2(held, fd);
      ::close(held);
    }
  }
}

int withStandardOutputFlushed(int status) {
  const bool flushed = std::fflush(stdout) == 0;
  if (flushed && !std::ferror(stdout))
    return status;
  // Had an earlier write failed, its errno would be long gone.
  if (flushed)
    std::fputs("quillane: cannot write standard output\n", stderr);
  else
    std::fprintf(stderr, "quillane: cannot write standard output: %s\n", std::strerror(errno));
  return status == 0 || status == 3 ? 1 : status;
}

} // namespace quillane
