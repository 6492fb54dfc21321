#include "TarnwickApp/Commands/AtomicOutputFile.h"

#include "TarnwickCore/Support/RealPath.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <string_view>
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

// The descriptor of this process that `path` names through the kernel's
// descriptor links, or -1. Spelled as the kernel accepts it: digits only,
// no leading zero.
int descriptorNamed(const std::string &path) {
  if (path == "/dev/stderr")
    return 2;
  for (std::string_view prefix : {"/dev/fd/", "/proc/self/fd/", "/proc/thread-self/fd/"}) {
    if (!path.starts_with(prefix))
      continue;
    const std::string_view digits = std::string_view(path).substr(prefix.size());
    if (digits.empty() || digits.front() < '0' || digits.front() > '9' || (digits.size() > 1 && digits.front() == '0'))
      return -1;
    int descriptor = -1;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), descriptor);
    return error == std::errc() && end == digits.data() + digits.size() ? descriptor : -1;
  }
  return -1;
}

bool isStandardOutputName(const std::string &path) {
  return path == "-" || path == "/dev/stdout" || descriptorNamed(path) == 1;
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

// `path` (whose last component is no link) with its folder's real path:
// absolute, without links, "." or "..". Nothing when the folder cannot be
// resolved, which the temporary's creation then reports.
std::optional<std::string> realPlace(const std::string &path) {
  const std::string folder = folderOf(path);
  std::optional<std::string> place = tarnwick::realPath(folder.empty() ? "." : folder);
  if (!place)
    return std::nullopt;
  if (place->back() != '/')
    place->push_back('/');
  return *place + path.substr(folder.size());
}

bool writtenInPlace(mode_t mode) { return S_ISFIFO(mode) || S_ISCHR(mode) || S_ISSOCK(mode); }

// The temporary's name for `target`: beside it, so the rename stays within
// one file system, and cut short (at a character boundary) when the random
// suffix would not otherwise fit the folder's limit on a name.
std::string temporaryTemplate(const std::string &target) {
  constexpr std::string_view suffix = ".XXXXXX";
  const std::string folder = folderOf(target);
  long limit = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
  if (limit <= static_cast<long>(suffix.size()))
    limit = NAME_MAX;
  std::string name = target.substr(folder.size());
  if (name.size() + suffix.size() > static_cast<std::size_t>(limit)) {
    std::size_t kept = static_cast<std::size_t>(limit) - suffix.size();
    while (kept > 1 && (static_cast<unsigned char>(name[kept]) & 0xC0) == 0x80)
      --kept;
    name.resize(kept);
  }
  return folder + name + std::string(suffix);
}

} // namespace

tarnwick::Result<AtomicOutputFile> AtomicOutputFile::open(std::string destination, const PlacementCheck &check) {
  AtomicOutputFile file(std::move(destination));
  if (tarnwick::Result<void> opened = file.openDestination(check); !opened)
    return opened.failure();
  return tarnwick::Result<AtomicOutputFile>(std::move(file));
}

AtomicOutputFile::AtomicOutputFile(AtomicOutputFile &&other) noexcept
    : destination_(std::move(other.destination_)), renameTarget_(std::move(other.renameTarget_)),
      temporary_(std::exchange(other.temporary_, {})), stream_(std::exchange(other.stream_, nullptr)),
      toStandardOutput_(other.toStandardOutput_), stage_(other.stage_) {}

tarnwick::Failure AtomicOutputFile::writeFailure(std::string reason) const {
  if (reason.empty())
    return tarnwick::Failure::fromErrno("write", destination_);
  return {"write", destination_, 0, std::move(reason)};
}

tarnwick::Result<void> AtomicOutputFile::openDestination(const PlacementCheck &check) {
  if (isStandardOutputName(destination_)) {
    toStandardOutput_ = true;
    stream_ = stdout;
    return {};
  }
  if (const int descriptor = descriptorNamed(destination_); descriptor >= 0)
    return openDescriptor(descriptor);
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
  if (check)
    if (const std::optional<std::string> place = realPlace(*target))
      if (std::optional<std::string> refusal = check(*place))
        return writeFailure(std::move(*refusal));
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

tarnwick::Result<void> AtomicOutputFile::openDescriptor(int descriptor) {
  // Through the descriptor itself, never by reopening or replacing what it
  // leads to: a log behind `2>>log` is appended to, not truncated or lost.
  struct stat held;
  if (::fstat(descriptor, &held) != 0)
    return writeFailure();
  if (S_ISDIR(held.st_mode))
    return writeFailure("it is a directory");
  if (S_ISBLK(held.st_mode))
    return writeFailure("it is a block device");
  if (!S_ISREG(held.st_mode) && !writtenInPlace(held.st_mode))
    return writeFailure("it is not a file, pipe or device");
  const int flags = ::fcntl(descriptor, F_GETFL);
  if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY) {
    errno = EBADF;
    return writeFailure();
  }
  // A duplicate shares the offset (and O_APPEND) yet can be closed with
  // the stream, leaving the descriptor to whoever gave it.
  const int fd = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
  if (fd < 0)
    return writeFailure();
  if (!(stream_ = ::fdopen(fd, "w"))) {
    tarnwick::Failure failure = writeFailure();
    ::close(fd);
    return failure;
  }
  return {};
}

tarnwick::Result<void> AtomicOutputFile::openTemporary() {
  temporary_ = temporaryTemplate(renameTarget_);
  int fd = ::mkostemp(temporary_.data(), O_CLOEXEC);
  if (fd < 0) {
    tarnwick::Failure failure = writeFailure();
    temporary_.clear();
    return failure;
  }
  // Replacing a file keeps who may read it: a private export stays
  // private. The owner goes first, since changing it clears set-id bits,
  // and only root may give the file away; when the file changes hands its
  // bits are kept no wider than a new file's.
  mode_t mode = 0666 & ~currentUmask();
  struct stat replaced;
  bool changed = true;
  if (::stat(renameTarget_.c_str(), &replaced) == 0 && S_ISREG(replaced.st_mode)) {
    const bool ownerKept = ::fchown(fd, replaced.st_uid, replaced.st_gid) == 0;
    changed = ownerKept || errno == EPERM;
    mode = replaced.st_mode & (ownerKept ? 0777 : mode);
  }
  if (changed)
    changed = ::fchmod(fd, mode) == 0;
  if (!changed || !(stream_ = ::fdopen(fd, "w"))) {
    tarnwick::Failure failure = writeFailure();
    ::close(fd);
    ::unlink(temporary_.c_str());
    temporary_.clear();
    return failure;
  }
  return {};
}

AtomicOutputFile::~AtomicOutputFile() {
  if (stream_ && !toStandardOutput_)
    std::fclose(stream_);
  if (!temporary_.empty())
    ::unlink(temporary_.c_str());
}

tarnwick::Result<void> AtomicOutputFile::complete() {
  if (stage_ == Stage::completed)
    return {};
  if (stage_ == Stage::finished || !stream_)
    return writeFailure("it was closed already");
  stage_ = Stage::completed;
  if (toStandardOutput_) {
    if (std::fflush(stdout) == 0)
      return {};
    stage_ = Stage::finished;
    return tarnwick::Failure::fromErrno("write", "standard output");
  }
  // Written in place (a pipe, device or given descriptor): nothing to sync.
  const bool inPlace = temporary_.empty();
  std::optional<tarnwick::Failure> failure;
  if (std::fflush(stream_) != 0 || (!inPlace && ::fsync(::fileno(stream_)) != 0))
    failure = writeFailure();
  if (std::fclose(stream_) != 0 && !failure)
    failure = writeFailure();
  stream_ = nullptr;
  if (!failure)
    return {};
  stage_ = Stage::finished;
  if (!inPlace)
    ::unlink(std::exchange(temporary_, {}).c_str());
  return std::move(*failure);
}

tarnwick::Result<void> AtomicOutputFile::commit() {
  if (tarnwick::Result<void> completed = complete(); !completed)
    return completed;
  stage_ = Stage::finished;
  if (temporary_.empty())
    return {};
  const std::string temporary = std::exchange(temporary_, {});
  if (::rename(temporary.c_str(), renameTarget_.c_str()) == 0)
    return {};
  tarnwick::Failure failure = writeFailure();
  ::unlink(temporary.c_str());
  return failure;
}

} // namespace quillane
