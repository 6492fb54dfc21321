#include "TarnwickApp/GuiHandOver.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace quillane {
namespace {

// The folder of this executable, symbolic links resolved; empty when the
// kernel does not say.
std::string executableFolder() {
  char path[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path);
  if (length <= 0 || length == static_cast<ssize_t>(sizeof path))
    return {};
  const std::string text(path, static_cast<std::size_t>(length));
  return text.substr(0, text.rfind('/'));
}

} // namespace

int handOverToGui(int argc, char **argv) {
  const std::filesystem::path folder = executableFolder();
  // Without its own folder, a relative name would run whatever the working
  // folder holds: none is tried.
  std::vector<std::string> candidates;
  if (!folder.empty())
    candidates = {folder / "quillane-gui", (folder / QUILLANE_GUI_FROM_BINDIR).lexically_normal()};
  std::string tried = folder.empty() ? QUILLANE_GUI_FROM_BINDIR : candidates.back();
  int error = ENOENT;
  // Nothing is written yet; whatever were would go with the process image.
  std::fflush(nullptr);
  for (const std::string &candidate : candidates) {
    ::execv(candidate.c_str(), argv);
    // One that is there but cannot start says more than one that is not.
    if (errno != ENOENT) {
      tried = candidate;
      error = errno;
    }
  }
  const char *command = argc > 1 ? argv[1] : "the window";
  if (error == ENOENT)
    std::fprintf(stderr, "quillane: cannot run %s: quillane-gui is not installed (not beside quillane, nor %s)\n",
                 command, tried.c_str());
  else
    std::fprintf(stderr, "quillane: cannot run %s: %s: %s\n", command, tried.c_str(), std::strerror(error));
  return 1;
}

} // namespace quillane
