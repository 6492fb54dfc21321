#include "TarnwickApp/AtomicOutputFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillane {
namespace {

std::string describe(const std::string &what, const std::string &path) {
  return what + " " + path + ": " + std::strerror(errno);
}

mode_t currentUmask() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

} // namespace

AtomicOutputFile::AtomicOutputFile(std::string destination) : destination_(std::move(destination)) {
  // Standard output by any of its names is written through the descriptor
  // the shell gave us, so redirections (appending ones included) hold.
  if (destination_ == "-" || destination_ == "/dev/stdout" || destination_ == "/dev/fd/1" ||
      destination_ == "/proc/self/fd/1") {
    toStandardOutput_ = true;
    stream_ = stdout;
    return;
  }
  // Replace what the name designates: through a symbolic link, the file it
  // points to, not the link.
  renameTarget_ = destination_;
  struct stat link;
  if (::lstat(destination_.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    char resolved[PATH_MAX];
    if (!::realpath(destination_.c_str(), resolved)) {
      openInPlace(O_CREAT | O_TRUNC); // a dangling link: create its target
      return;
    }
    renameTarget_ = resolved;
  }
  struct stat existing;
  bool exists = ::stat(renameTarget_.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) {
    error_ = "cannot write " + destination_ + ": it is a directory";
    return;
  }
  std::string_view target = renameTarget_;
  if ((exists && !S_ISREG(existing.st_mode)) || target.starts_with("/proc/") || target.starts_with("/dev/")) {
    // A pipe or device (a FIFO, /dev/stdout, the shell's `>(gzip >x)`) must
    // be written in place: a temporary beside /dev/fd/63 cannot be created,
    // and renaming over a FIFO or /dev/null would replace the node itself.
    openInPlace(0);
    return;
  }
  temporary_ = renameTarget_ + ".XXXXXX";
  int fd = ::mkstemp(temporary_.data());
  if (fd < 0) {
    error_ = describe("cannot write", destination_);
    temporary_.clear();
    return;
  }
  ::fchmod(fd, 0666 & ~currentUmask());
  stream_ = ::fdopen(fd, "w");
  if (!stream_) {
    error_ = describe("cannot write", destination_);
    ::close(fd);
    ::unlink(temporary_.c_str());
    temporary_.clear();
  }
}

void AtomicOutputFile::openInPlace(int extraFlags) {
  // An empty temporary_ marks this direct mode.
  int fd = ::open(destination_.c_str(), O_WRONLY | O_CLOEXEC | extraFlags, 0666);
  if (fd >= 0 && !(stream_ = ::fdopen(fd, "w")))
    ::close(fd);
  if (!stream_)
    error_ = describe("cannot write", destination_);
}

AtomicOutputFile::~AtomicOutputFile() {
  if (toStandardOutput_ || !stream_)
    return;
  std::fclose(stream_);
  if (!temporary_.empty())
    ::unlink(temporary_.c_str());
}

bool AtomicOutputFile::commit() {
  if (!stream_)
    return false;
  if (toStandardOutput_) {
    if (std::fflush(stdout) == 0)
      return true;
    error_ = describe("cannot write", "standard output");
    return false;
  }
  // Written in place (a pipe or device): nothing to sync or rename.
  const bool inPlace = temporary_.empty();
  bool written = std::fflush(stream_) == 0 && (inPlace || ::fsync(::fileno(stream_)) == 0);
  if (!written)
    error_ = describe("cannot write", destination_);
  bool closed = std::fclose(stream_) == 0;
  stream_ = nullptr;
  if (written && !closed)
    error_ = describe("cannot write", destination_);
  if (inPlace)
    return written && closed;
  if (!written || !closed || ::rename(temporary_.c_str(), renameTarget_.c_str()) != 0) {
    if (error_.empty())
      error_ = describe("cannot write", destination_);
    ::unlink(temporary_.c_str());
    return false;
  }
  return true;
}

} // namespace quillane
