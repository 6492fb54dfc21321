#include "TarnwickApp/Commands/AtomicOutputFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace quillane {
namespace {

// As many links as the kernel follows in one path before ELOOP.
constexpr int maxLinkDepth = 40;

mode_t currentUmask() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

bool isStandardOutputName(const std::string &path) {
  return path == "-" || path == "/dev/stdout" || path == "/dev/fd/1" || path == "/proc/self/fd/1";
}

// The folder part of `path`, with its trailing slash ("" for a bare name).
std::string folderOf(const std::string &path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::optional<std::string> readLink(const std::string &path) {
  std::string target(256, '\0');
  for (;;) {
    ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
    if (length < 0)
      return std::nullopt;
    if (static_cast<std::size_t>(length) < target.size()) {
      target.resize(static_cast<std::size_t>(length));
      return target;
    }
    target.resize(target.size() * 2);
  }
}

// Whether the kernel would follow `link` (at `path`) for this process
// with fs.protected_symlinks on, as Debian has it: not in a sticky,
// world-writable folder such as /tmp unless we or the folder's owner own
// the link. Following it by hand whatever the setting, another user of
// /tmp could point a root's output at any file, and have it replaced.
bool kernelWouldFollow(const struct stat &link, const std::string &path) {
  const std::string folder = folderOf(path);
  struct stat holder;
  if (::stat(folder.empty() ? "." : folder.c_str(), &holder) != 0)
    return false;
  const bool sharedSticky = (holder.st_mode & S_ISVTX) != 0 && (holder.st_mode & S_IWOTH) != 0;
  return !sharedSticky || link.st_uid == ::geteuid() || link.st_uid == holder.st_uid;
}

// The file `path` finally designates: each symbolic link in the last
// component is replaced by its target, read relative to the link's folder,
// until a name that is no link or does not exist yet. Nothing (errno set)
// when a link cannot be read, may not be followed (EACCES) or the chain is
// too long.
std::optional<std::string> finalTarget(std::string path) {
  for (int depth = 0; depth <= maxLinkDepth; ++depth) {
    struct stat link;
    if (::lstat(path.c_str(), &link) != 0)
      return errno == ENOENT ? std::optional(path) : std::nullopt;
    if (!S_ISLNK(link.st_mode))
      return path;
    if (!kernelWouldFollow(link, path)) {
      errno = EACCES;
      return std::nullopt;
    }
    std::optional<std::string> target = readLink(path);
    if (!target)
      return std::nullopt;
    path = target->starts_with('/') ? *target : folderOf(path) + *target;
  }
  errno = ELOOP;
  return std::nullopt;
}

bool writtenInPlace(mode_t mode) { return S_ISFIFO(mode) || S_ISCHR(mode) || S_ISSOCK(mode); }

} // namespace

tarnwick::Result<AtomicOutputFile> AtomicOutputFile::open(std::string destination) {
  AtomicOutputFile file(std::move(destination));
  if (tarnwick::Result<void> opened = file.openDestination(); !opened)
    return opened.failure();
  return tarnwick::Result<AtomicOutputFile>(std::move(file));
}

AtomicOutputFile::AtomicOutputFile(AtomicOutputFile &&other) noexcept
    : destination_(std::move(other.destination_)), renameTarget_(std::move(other.renameTarget_)),
      temporary_(std::exchange(other.temporary_, {})), stream_(std::exchange(other.stream_, nullptr)),
      toStandardOutput_(other.toStandardOutput_) {}

tarnwick::Failure AtomicOutputFile::writeFailure(std::string reason) const {
  if (reason.empty())
    return tarnwick::Failure::fromErrno("write", destination_);
  return {"write", destination_, 0, std::move(reason)};
}

tarnwick::Result<void> AtomicOutputFile::openDestination() {
  if (isStandardOutputName(destination_)) {
    toStandardOutput_ = true;
    stream_ = stdout;
    return {};
  }
  // Every link on the way is looked at first, whatever it leads to: the
  // kernel's own resolution below would follow a planted one to a FIFO or
  // a device as readily as to a file.
  std::optional<std::string> target = finalTarget(destination_);
  if (!target)
    return writeFailure();
  struct stat named;
  const bool exists = ::stat(destination_.c_str(), &named) == 0;
  if (exists && S_ISDIR(named.st_mode))
    return writeFailure("it is a directory");
  if (exists && writtenInPlace(named.st_mode))
    return openInPlace();
  if (exists && !S_ISREG(named.st_mode))
    return writeFailure("it is a block device");
  // The hand-made resolution must land on the file the kernel resolves to;
  // it does not through /proc's descriptor links to deleted files.
  struct stat resolved;
  if (exists && (::lstat(target->c_str(), &resolved) != 0 || resolved.st_dev != named.st_dev ||
                 resolved.st_ino != named.st_ino))
    return writeFailure("the file it names cannot be replaced by name");
  renameTarget_ = std::move(*target);
  return openTemporary();
}

tarnwick::Result<void> AtomicOutputFile::openInPlace() {
  // An empty temporary_ marks this direct mode. Opening a FIFO waits for
  // its reader.
  int fd = ::open(destination_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0)
    return writeFailure();
  // Swapped for a regular file since the stat: writing it in place would
  // keep its old tail, so refuse.
  struct stat opened;
  if (::fstat(fd, &opened) != 0 || !writtenInPlace(opened.st_mode)) {
    ::close(fd);
    return writeFailure("it changed while being opened");
  }
  if (!(stream_ = ::fdopen(fd, "w"))) {
    tarnwick::Failure failure = writeFailure();
    ::close(fd);
    return failure;
  }
  return {};
}

tarnwick::Result<void> AtomicOutputFile::openTemporary() {
  // Beside the final file, so the rename stays within one file system.
  temporary_ = renameTarget_ + ".XXXXXX";
  int fd = ::mkostemp(temporary_.data(), O_CLOEXEC);
  if (fd < 0) {
    tarnwick::Failure failure = writeFailure();
    temporary_.clear();
    return failure;
  }
  ::fchmod(fd, 0666 & ~currentUmask());
  stream_ = ::fdopen(fd, "w");
  if (!stream_) {
    tarnwick::Failure failure = writeFailure();
    ::close(fd);
    ::unlink(temporary_.c_str());
    temporary_.clear();
    return failure;
  }
  return {};
}

AtomicOutputFile::~AtomicOutputFile() {
  if (toStandardOutput_ || !stream_)
    return;
  std::fclose(stream_);
  if (!temporary_.empty())
    ::unlink(temporary_.c_str());
}

tarnwick::Result<void> AtomicOutputFile::commit() {
  if (!stream_)
    return writeFailure("it was closed already");
  if (toStandardOutput_) {
    if (std::fflush(stdout) == 0)
      return {};
    return tarnwick::Failure::fromErrno("write", "standard output");
  }
  // Written in place (a pipe or device): nothing to sync or rename.
  const bool inPlace = temporary_.empty();
  std::optional<tarnwick::Failure> failure;
  if (std::fflush(stream_) != 0 || (!inPlace && ::fsync(::fileno(stream_)) != 0))
    failure = writeFailure();
  if (std::fclose(stream_) != 0 && !failure)
    failure = writeFailure();
  stream_ = nullptr;
  if (!inPlace && !failure && ::rename(temporary_.c_str(), renameTarget_.c_str()) != 0)
    failure = writeFailure();
  if (!failure)
    return {};
  if (!inPlace)
    ::unlink(temporary_.c_str());
  return std::move(*failure);
}

} // namespace quillane
