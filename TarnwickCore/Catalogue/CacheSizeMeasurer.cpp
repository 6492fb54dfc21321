#include "TarnwickCore/Catalogue/CacheSizeMeasurer.h"

#include "TarnwickCore/Support/NoLinkPath.h"
#include "TarnwickCore/Support/PathJoin.h"
#include "TarnwickCore/Support/ScanErrors.h"
#include "TarnwickCore/Catalogue/PathRules.h"
#include "TarnwickCore/Support/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <unordered_map>

namespace tarnwick {
namespace {

// A folder that cannot be opened for want of descriptors or memory says
// nothing about the folder: measuring on would list it as empty or absent,
// so the whole measurement fails instead, saying what ran out.
void throwIfOutOfResources(int error, const std::string &path) {
  if (isDescriptorShortage(error))
    throw ScanResourceError("out of file descriptors while measuring " + path + " (" + std::strerror(error) + ")");
  if (error == ENOMEM)
    throw std::bad_alloc();
}

constexpr std::size_t listingBufferSize = 65536;
constexpr int folderOpenFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr int statxFlags = AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC | AT_NO_AUTOMOUNT;
constexpr unsigned entryMask = STATX_BLOCKS | STATX_TYPE | STATX_SIZE | STATX_NLINK | STATX_INO | STATX_MTIME;

// Open folder descriptors kept for the deepest levels of a walk; shallower
// levels give theirs up until the walk comes back to them.
constexpr std::size_t openLevelBudget = 32;

// The kernel's linux_dirent64 record, which glibc does not declare:
// u64 d_ino, s64 d_off, u16 d_reclen, u8 d_type, then the NUL-terminated name.
constexpr std::size_t direntLengthOffset = 16;
constexpr std::size_t direntTypeOffset = 18;
constexpr std::size_t direntNameOffset = 19;

bool isDotOrDotDot(const char *name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// statx of `path` itself (never its link target), also for paths longer
// than PATH_MAX, which are reached through their parent's descriptor.
bool statPath(const std::string &path, unsigned mask, struct statx &st) {
  constexpr int flags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT;
  if (path.size() < PATH_MAX)
    return ::statx(AT_FDCWD, path.c_str(), flags, mask, &st) == 0;
  auto slash = path.rfind('/');
  if (slash == std::string::npos || slash == 0)
    return false;
  UniqueFd parent(openDirectoryNoFollow(path.substr(0, slash)));
  return parent && ::statx(parent.get(), path.c_str() + slash + 1, flags, mask, &st) == 0;
}

// Adds up the files of one walk. A file with one link only adds to a sum;
// a file with several is remembered once, with how many of its names were
// met, so only multi-link files cost memory.
class FileTally {
public:
  void add(const struct statx &st, std::int64_t bytes) {
    if (st.stx_mask & STATX_MTIME)
      result_.newestModification = std::max<std::int64_t>(result_.newestModification, st.stx_mtime.tv_sec);
    const bool shared = (st.stx_mask & STATX_NLINK) && (st.stx_mask & STATX_INO) && st.stx_nlink > 1;
    if (!shared) {
      result_.unsharedBytes += bytes;
      return;
    }
    const Key key{(std::uint64_t{st.stx_dev_major} << 32) | st.stx_dev_minor, st.stx_ino};
    auto [found, isNew] = index_.try_emplace(key, result_.sharedFiles.size());
    if (isNew)
      result_.sharedFiles.push_back({key.device, key.inode, 0, 0, bytes});
    CacheMeasurement::SharedFile &file = result_.sharedFiles[found->second];
    // A name added during the walk raises the count: the file then stays
    // unfreed unless that name is met too.
    file.linkCount = std::max<std::uint64_t>(file.linkCount, st.stx_nlink);
    ++file.namesFound;
  }

  /// A folder's own blocks (its listing): freed with it, and never shared,
  /// since a folder has one name whatever its link count says.
  void addFolder(std::int64_t bytes) {
    result_.unsharedBytes += bytes;
    result_.folderBytes += bytes;
  }

  CacheMeasurement take() { return std::move(result_); }

private:
  struct Key {
    std::uint64_t device;
    std::uint64_t inode;
    bool operator==(const Key &) const = default;
  };
  struct KeyHash {
    std::size_t operator()(const Key &key) const noexcept {
      return std::hash<std::uint64_t>{}(key.inode * 0x9E3779B97F4A7C15ull ^ key.device);
    }
  };

  CacheMeasurement result_;
  std::unordered_map<Key, std::size_t, KeyHash> index_; // into result_.sharedFiles
};

// Reads a whole folder through getdents64, one record at a time. False
// when the listing stopped on an error; what was seen before still counts.
template <typename Visit>
bool forEachEntry(int folder, std::byte *buffer, Visit &&visit) {
  for (;;) {
    long bytes = ::syscall(SYS_getdents64, folder, buffer, listingBufferSize);
    if (bytes == 0)
      return true;
    if (bytes < 0)
      return false;
    for (long offset = 0; offset < bytes;) {
      const std::byte *record = buffer + offset;
      unsigned short length;
      std::memcpy(&length, record + direntLengthOffset, sizeof length);
      const char *name = reinterpret_cast<const char *>(record + direntNameOffset);
      if (!isDotOrDotDot(name))
        visit(name, static_cast<unsigned char>(record[direntTypeOffset]));
      offset += length;
    }
  }
}

// One folder on the walk's path from the location down.
struct Level {
  UniqueFd folder;
  // Names of the sub-folders still to enter, each followed by a NUL.
  std::string pending;
  std::size_t next = 0;
  // Recorded when the descriptor is given up, to recognise the folder when
  // it is reopened through "..".
  dev_t device = 0;
  ino_t inode = 0;
  bool identified = false;
  // The folder's own blocks, in bytes, and whether cleaning keeps it for an
  // excluded entry somewhere below.
  std::int64_t ownBytes = 0;
  bool keepsSomething = false;
};

// The depth-first walk of one folder. Each folder is listed completely
// before the walk enters its sub-folders, so one listing buffer serves the
// whole walk and a folder's descriptor is only needed to open its
// sub-folders by name.
class TreeWalk {
public:
  TreeWalk(const CacheSizeMeasurer::NameFilter &isExcluded, std::stop_token stop, const std::string &rootPath)
      : isExcluded_(isExcluded), stop_(std::move(stop)), rootPath_(rootPath),
        buffer_(std::make_unique_for_overwrite<std::byte[]>(listingBufferSize)) {}

  CacheMeasurement run(UniqueFd root) {
    enter(std::move(root));
    while (depth_ > 0) {
      if (stop_.stop_requested())
        break; // the caller discards a stopped measurement
      Level &level = levels_[depth_ - 1];
      if (!level.folder || level.next == level.pending.size()) {
        leave();
        continue;
      }
      const char *name = level.pending.data() + level.next;
      level.next += std::strlen(name) + 1;
      // Fails for a sub-folder that vanished, became a link or is locked.
      UniqueFd child(::openat(level.folder.get(), name, folderOpenFlags));
      if (child) {
        enter(std::move(child));
        continue;
      }
      const int error = errno;
      throwIfOutOfResources(error, rootPath_);
      // A folder that cannot be emptied keeps the folders above it.
      if (error != ENOENT)
        level.keepsSomething = true;
    }
    return tally_.take();
  }

private:
  void enter(UniqueFd folder) {
    if (depth_ == levels_.size())
      levels_.emplace_back();
    Level &level = levels_[depth_++];
    level.folder = std::move(folder);
    level.pending.clear();
    level.next = 0;
    level.identified = false;
    if (depth_ > openLevelBudget)
      giveUpDescriptor(levels_[depth_ - 1 - openLevelBudget]);
    struct stat st;
    level.ownBytes = ::fstat(level.folder.get(), &st) == 0 ? static_cast<std::int64_t>(st.st_blocks) * 512 : 0;
    level.keepsSomething = false;
    list(level);
  }

  // Back to the parent, reopening its descriptor from the child's if it was
  // given up. A parent that cannot be recognised any more is left with no
  // descriptor, which ends its part of the walk.
  void leave() {
    // A folder that keeps an excluded entry stays when the location is
    // cleaned, and so do the folders above it: only the others free their
    // own blocks.
    Level &done = levels_[depth_ - 1];
    if (!done.keepsSomething)
      tally_.addFolder(done.ownBytes);
    else if (depth_ > 1)
      levels_[depth_ - 2].keepsSomething = true;
    UniqueFd finished = std::move(levels_[--depth_].folder);
    if (depth_ == 0)
      return;
    Level &parent = levels_[depth_ - 1];
    if (parent.folder || !finished || !parent.identified)
      return;
    UniqueFd reopened(::openat(finished.get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat st;
    if (reopened && ::fstat(reopened.get(), &st) == 0 && st.st_dev == parent.device &&
        st.st_ino == parent.inode)
      parent.folder = std::move(reopened);
  }

  void giveUpDescriptor(Level &level) {
    if (!level.folder)
      return;
    struct stat st;
    level.identified = ::fstat(level.folder.get(), &st) == 0;
    if (level.identified) {
      level.device = st.st_dev;
      level.inode = st.st_ino;
    }
    level.folder.reset();
  }

  bool excluded(std::string_view name) const { return isExcluded_ && isExcluded_(name); }

  void noteSubFolder(Level &level, const char *name) {
    if (hasPackageExtension(name))
      return;
    level.pending.append(name);
    level.pending.push_back('\0');
  }

  void list(Level &level) {
    const int folder = level.folder.get();
    forEachEntry(folder, buffer_.get(), [&](const char *name, unsigned char listedType) {
      // An excluded name keeps its whole entry when the item is cleaned, so
      // nothing below an excluded folder is freed either: it is not entered.
      const bool isExcluded = excluded(name);
      level.keepsSomething |= isExcluded;
      if (listedType == DT_LNK)
        return;
      if (listedType == DT_DIR) {
        if (!isExcluded)
          noteSubFolder(level, name);
        return;
      }
      // A known non-folder that adds nothing needs no statx.
      if (isExcluded && listedType != DT_UNKNOWN)
        return;
      struct statx st;
      if (::statx(folder, name, statxFlags, entryMask, &st) != 0 || !(st.stx_mask & STATX_TYPE))
        return;
      switch (st.stx_mode & S_IFMT) {
      case S_IFLNK: return;
      case S_IFDIR:
        if (!isExcluded)
          noteSubFolder(level, name);
        return;
      default:
        if (isExcluded)
          return;
        if (st.stx_mask & STATX_BLOCKS)
          tally_.add(st, static_cast<std::int64_t>(st.stx_blocks * 512));
        else if (st.stx_mask & STATX_SIZE)
          tally_.add(st, static_cast<std::int64_t>(st.stx_size));
      }
    });
  }

  const CacheSizeMeasurer::NameFilter &isExcluded_;
  const std::stop_token stop_;
  const std::string &rootPath_; // for messages; outlives the walk
  std::unique_ptr<std::byte[]> buffer_;
  // Levels stay allocated when the walk climbs back, so their name lists
  // keep their capacity for the next sub-folder at that depth.
  std::vector<Level> levels_;
  std::size_t depth_ = 0;
  FileTally tally_;
};

} // namespace

CacheMeasurement CacheSizeMeasurer::survey(const std::string &path, const NameFilter &isExcludedName,
                                           std::stop_token stop) {
  struct statx st;
  if (!statPath(path, STATX_TYPE | STATX_SIZE | STATX_NLINK | STATX_INO | STATX_MTIME, st) || !(st.stx_mask & STATX_TYPE))
    return {};
  switch (st.stx_mode & S_IFMT) {
  case S_IFLNK: return {};
  case S_IFDIR: break;
  default: {
    if (isExcludedName && isExcludedName(lastPathComponent(path)))
      return {};
    FileTally tally;
    tally.add(st, static_cast<std::int64_t>(st.stx_size));
    return tally.take();
  }
  }
  // A folder replaced by a link since the statx fails to open here.
  UniqueFd root(openDirectoryNoFollow(path));
  if (!root) {
    throwIfOutOfResources(errno, path);
    return {};
  }
  return TreeWalk(isExcludedName, std::move(stop), path).run(std::move(root));
}

std::int64_t CacheSizeMeasurer::measure(const std::string &path, const NameFilter &isExcludedName,
                                        std::stop_token stop) {
  return survey(path, isExcludedName, std::move(stop)).freedBytes();
}

std::optional<double> CacheSizeMeasurer::modificationTime(const std::string &path) {
  struct statx st;
  if (!statPath(path, STATX_MTIME, st) || !(st.stx_mask & STATX_MTIME))
    return std::nullopt;
  return static_cast<double>(st.stx_mtime.tv_sec) + st.stx_mtime.tv_nsec / 1e9;
}

bool CacheSizeMeasurer::isDirectory(const std::string &path) {
  struct statx st;
  return statPath(path, STATX_TYPE, st) && (st.stx_mask & STATX_TYPE) && S_ISDIR(st.stx_mode);
}

Result<std::vector<std::string>> CacheSizeMeasurer::visibleEntryNames(const std::string &path) {
  return entryNames(path, false);
}

Result<std::vector<std::string>> CacheSizeMeasurer::entryNames(const std::string &path, bool withHidden) {
  UniqueFd folder(openDirectoryNoFollow(path));
  if (!folder) {
    throwIfOutOfResources(errno, path);
    return Failure::fromErrno("open", path);
  }
  auto buffer = std::make_unique_for_overwrite<std::byte[]>(listingBufferSize);
  std::vector<std::string> names;
  bool complete = forEachEntry(folder.get(), buffer.get(), [&](const char *name, unsigned char) {
    if (withHidden || name[0] != '.')
      names.emplace_back(name);
  });
  if (!complete)
    return Failure::fromErrno("read", path);
  std::ranges::sort(names);
  return names;
}

} // namespace tarnwick
