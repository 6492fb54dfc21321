#include "TarnwickApp/Commands/ProgressLine.h"

#include "TarnwickApp/Commands/TextFormat.h"
#include "TarnwickCore/Support/ByteCountFormat.h"

#include <cstdio>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>

namespace quillane {
namespace {

std::size_t terminalWidth() {
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
    return size.ws_col;
  return 80;
}

} // namespace

void ProgressLine::show(const tarnwick::ScanProgress &progress) {
  std::string line = groupDigits(progress.scannedFiles) + " files, " +
                     groupDigits(progress.scannedDirectories) + " folders, " +
                     tarnwick::formatByteCount(progress.accumulatedBytes) + "  ";
  std::size_t width = terminalWidth() - 1;
  std::string path = printableText(progress.currentPath);
  if (line.size() < width) {
    std::size_t room = width - line.size();
    // Keep the end of the path, which names where the scan is; cut on a
    // character boundary, not inside a UTF-8 sequence.
    if (path.size() <= room) {
      line += path;
    } else {
      std::size_t cut = path.size() - room + 1;
      while (cut < path.size() && (static_cast<unsigned char>(path[cut]) & 0xC0) == 0x80)
        ++cut;
      line += "…" + path.substr(cut);
    }
  }
  std::lock_guard lock(mutex_);
  std::fprintf(stderr, "\r\033[K%s", line.c_str());
  std::fflush(stderr);
  drawn_ = true;
}

void ProgressLine::clear() {
  std::lock_guard lock(mutex_);
  if (drawn_)
    std::fputs("\r\033[K", stderr);
  drawn_ = false;
}

} // namespace quillane
