#include "TarnwickCore/Deletion/PermanentRemoval.h"

#include "TarnwickCore/Support/NoLinkPath.h"
#include "TarnwickCore/Support/ScanErrors.h"
#include "TarnwickCore/Support/UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <unordered_set>
#include <utility>
#include <vector>

namespace tarnwick {
namespace {

// Which mount a folder lies on: its device, and the kernel's mount id,
// which also tells bind mounts of the same device apart.
struct MountOf {
  dev_t device = 0;
  std::uint64_t mountId = 0;
  bool operator==(const MountOf &) const = default;
};

bool mountOf(int folder, const char *name, int flags, MountOf &out) {
  struct statx st;
  if (::statx(folder, name, flags | AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_TYPE | STATX_MNT_ID, &st) != 0)
    return false;
  out = {makedev(st.stx_dev_major, st.stx_dev_minor), (st.stx_mask & STATX_MNT_ID) ? st.stx_mnt_id : 0};
  return true;
}

// Folders kept open at once. Deeper down, the shallowest open one is
// closed and found again through ".." on the way back up, so a tree deeper
// than the descriptor limit (1,024 on most desktops) is still removed.
constexpr std::size_t maxOpenLevels = 32;
constexpr int levelFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// One folder being emptied: its stream (none while closed for depth), what
// finds it again, and its path for messages.
struct Level {
  DIR *stream;
  std::string name;
  std::string shown;
  std::size_t failuresBefore; // failures recorded before this level was entered
  FileIdentity identity;
  /// Children that stay (reported already): once the folder is read again
  /// from its start (reopened), they are passed over.
  std::unordered_set<std::string> keptChildren = {};
  bool reopened = false;
};

class RemovalWalk {
public:
  RemovalWalk(int parent, std::string shownPath, std::optional<FileIdentity> expected)
      : parent_(parent), shown_(std::move(shownPath)), expected_(expected) {}
  ~RemovalWalk() { abandon(); }

  Result<void> run(const std::string &name) {
    if (!mountOf(parent_, name.c_str(), 0, mount_))
      return Failure::fromErrno("remove", shown_);
    MountOf parentMount;
    if (!mountOf(parent_, "", AT_EMPTY_PATH, parentMount) || !(parentMount == mount_))
      return Failure{"remove", shown_, 0, "it is a mount point"};
    if (!isExpected(parent_, name.c_str(), AT_SYMLINK_NOFOLLOW))
      return replaced();
    if (::unlinkat(parent_, name.c_str(), 0) == 0)
      return {};
    if (errno != EISDIR)
      return Failure::fromErrno("remove", shown_);
    if (!enter(parent_, name, shown_))
      return replaced();
    while (!levels_.empty())
      step();
    if (failures_.empty())
      return {};
    return Failure{"remove all of", shown_, 0,
                   failures_.front() +
                       (failures_.size() > 1 ? " (and " + std::to_string(failures_.size() - 1) + " more)" : "")};
  }

private:
  bool isExpected(int folder, const char *name, int flags) const {
    struct stat st;
    return !expected_ ||
           (::fstatat(folder, name, &st, flags) == 0 && FileIdentity{st.st_dev, st.st_ino} == *expected_);
  }

  Failure replaced() const { return Failure{"remove", shown_, 0, "it was replaced by another file after it was checked"}; }

  void fail(const std::string &shown, const std::string &why) { failures_.push_back(shown + ": " + why); }
  // A failure below the current folder, whose child `name` stays.
  void failChild(const std::string &name, const std::string &shown, const std::string &why) {
    fail(shown, why);
    if (!levels_.empty())
      levels_.back().keptChildren.insert(name);
  }

  // Opens `name` below `from` as a folder on the item's own mount. False
  // only for the item itself when it is not the file expected.
  bool enter(int from, const std::string &name, const std::string &shown) {
    int fd = ::openat(from, name.c_str(), levelFlags);
    // Out of descriptors: one more level closed for depth makes room.
    while (fd < 0 && isDescriptorShortage(errno) && levels_.size() - closedLevels_ > 1) {
      closeShallowestLevel();
      fd = ::openat(from, name.c_str(), levelFlags);
    }
    if (fd < 0) {
      // Swapped for a link or a file since it was listed: remove just that,
      // unless it is the item itself and not the file expected.
      const int error = errno;
      if ((error == ELOOP || error == ENOTDIR) && !levels_.empty() && ::unlinkat(from, name.c_str(), 0) == 0)
        return true;
      if ((error == ELOOP || error == ENOTDIR) && levels_.empty())
        return false; // the item itself is no longer the folder that was checked
      failChild(name, shown, std::strerror(error));
      return true;
    }
    MountOf here;
    if (!mountOf(fd, "", AT_EMPTY_PATH, here) || !(here == mount_)) {
      ::close(fd);
      failChild(name, shown, "another file system is mounted there; it was not entered");
      return true;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
      failChild(name, shown, std::strerror(errno));
      ::close(fd);
      return true;
    }
    if (levels_.empty() && !isExpected(fd, "", AT_EMPTY_PATH)) {
      ::close(fd);
      return false;
    }
    DIR *stream = ::fdopendir(fd);
    if (!stream) {
      ::close(fd);
      failChild(name, shown, std::strerror(errno));
      return true;
    }
    if (levels_.size() - closedLevels_ == maxOpenLevels)
      closeShallowestLevel();
    levels_.push_back({stream, name, shown, failures_.size(), FileIdentity{st.st_dev, st.st_ino}});
    return true;
  }

  // Ends the walk where it stands, every folder closed.
  void abandon() {
    for (Level &level : levels_)
      if (level.stream)
        ::closedir(level.stream);
    levels_.clear();
  }

  void closeShallowestLevel() {
    Level &shallowest = levels_[closedLevels_++];
    ::closedir(std::exchange(shallowest.stream, nullptr));
  }

  // Whether `fd` is the folder of levels_[index].
  bool isLevel(const UniqueFd &fd, std::size_t index) const {
    struct stat st;
    return fd && ::fstat(fd.get(), &st) == 0 && FileIdentity{st.st_dev, st.st_ino} == levels_[index].identity;
  }

  // levels_[index], found again by name from the item's own folder down,
  // each folder on the way checked to be the one entered; or nothing.
  UniqueFd descendTo(std::size_t index) const {
    UniqueFd at;
    for (std::size_t i = 0; i <= index; ++i) {
      UniqueFd next(::openat(i == 0 ? parent_ : at.get(), levels_[i].name.c_str(), levelFlags));
      if (!isLevel(next, i))
        return UniqueFd();
      at = std::move(next);
    }
    return at;
  }

  // Opens the closed parent of the finished, still open, innermost folder
  // again: through "..", or when that is elsewhere now (the innermost was
  // moved meanwhile) from the item's folder down. False when neither finds
  // the very folder entered.
  bool reopenParent(const Level &finished) {
    const std::size_t index = levels_.size() - 2;
    UniqueFd fd(::openat(::dirfd(finished.stream), "..", levelFlags));
    if (!isLevel(fd, index))
      fd = descendTo(index);
    DIR *stream = fd ? ::fdopendir(fd.get()) : nullptr;
    if (!stream) {
      fail(levels_[index].shown, "it was moved or replaced while being emptied; it was not followed");
      return false;
    }
    fd.release();
    levels_[index].stream = stream;
    levels_[index].reopened = true;
    --closedLevels_;
    return true;
  }

  void step() {
    Level &level = levels_.back();
    errno = 0;
    const dirent *entry = ::readdir(level.stream);
    if (entry) {
      const std::string_view child = entry->d_name;
      if (child == "." || child == "..")
        return;
      const std::string name(child);
      if (level.reopened && level.keptChildren.contains(name))
        return;
      const std::string shown = level.shown + "/" + name;
      if (::unlinkat(::dirfd(level.stream), entry->d_name, 0) == 0)
        return;
      if (errno != EISDIR)
        return failChild(name, shown, std::strerror(errno));
      enter(::dirfd(level.stream), name, shown);
      return;
    }
    if (errno != 0)
      fail(level.shown, std::strerror(errno));
    if (levels_.size() > 1 && !levels_[levels_.size() - 2].stream && !reopenParent(level)) {
      abandon(); // what is above cannot be found safely
      return;
    }
    const Level finished = std::move(level);
    ::closedir(finished.stream);
    levels_.pop_back();
    const int from = levels_.empty() ? parent_ : ::dirfd(levels_.back().stream);
    // A folder that still holds something already reported is left quietly.
    if (::unlinkat(from, finished.name.c_str(), AT_REMOVEDIR) != 0) {
      if (!(errno == ENOTEMPTY && failures_.size() > finished.failuresBefore))
        fail(finished.shown, std::strerror(errno));
      if (!levels_.empty())
        levels_.back().keptChildren.insert(finished.name);
    }
  }

  int parent_;
  std::string shown_;
  std::optional<FileIdentity> expected_;
  MountOf mount_;
  std::vector<Level> levels_;
  /// levels_[0, closedLevels_) have no stream open.
  std::size_t closedLevels_ = 0;
  std::vector<std::string> failures_;
};

} // namespace

Result<void> removePermanently(int parentFolder, const std::string &name, const std::string &shownPath,
                               std::optional<FileIdentity> expected) {
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
    return Failure{"remove", shownPath, 0, "not the name of an entry"};
  return RemovalWalk(parentFolder, shownPath, expected).run(name);
}

Result<void> removePermanently(const std::string &path) {
  if (path.empty() || path.front() != '/')
    return Failure{"remove", path, 0, "not an absolute path to an item"};
  ParentAndName pinned = openParentWithoutLinks(path);
  if (!pinned.parent)
    return Failure{"remove", path, errno, "cannot open its folder"};
  return removePermanently(pinned.parent.get(), pinned.name, path);
}

} // namespace tarnwick
