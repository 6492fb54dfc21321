#include "TarnwickCore/Deletion/RemovalQuarantine.h"

#include "TarnwickCore/Deletion/OpenQuarantines.h"
#include "TarnwickCore/Support/FolderNames.h"
#include "TarnwickCore/Support/UniqueFd.h"
#include "TarnwickCore/Support/Uuid.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <mutex>
#include <set>
#include <string_view>
#include <sys/file.h>
#include <tuple>
#include <utility>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {

// Set by enter(), and only read afterwards, but for the outcome of finishing
// (from `finished` on), which changes in the OpenQuarantines' turn.
struct RemovalQuarantine::State {
  int parent;
  std::string name;
  std::string shownPath;
  FileIdentity expected;
  OpenQuarantines *open;
  std::string folderName; // empty while none is made, and in place
  UniqueFd folder;
  bool inPlace = false;
  bool finished = false;
  bool putBack = true;     // once finished: nothing was left, or it went back
  bool folderLeft = false; // once finished: the private folder could not be removed
};

namespace {

constexpr int folderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Whether the file system keeps the folder from losing entries (the
// append-only or immutable attribute): a private folder made there could
// never be removed again. Where the attributes cannot be read, the rename
// into the private folder finds out.
bool keepsItsEntries(int parent) {
  const UniqueFd folder(::openat(parent, ".", folderFlags));
  int flags = 0;
  return folder && ::ioctl(folder.get(), FS_IOC_GETFLAGS, &flags) == 0 &&
         (flags & (FS_APPEND_FL | FS_IMMUTABLE_FL)) != 0;
}

// mkdir's errors that say the file system has no room for a folder: no
// free block or inode, the quota spent, or the parent's link count full.
bool isNoRoom(int error) { return error == ENOSPC || error == EDQUOT || error == EMLINK; }

bool isOurPrivateFolder(int folder) {
  struct stat st;
  return ::fstat(folder, &st) == 0 && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0 && st.st_nlink == 2;
}

constexpr std::string_view folderPrefix = ".quillane-removing-";

// Takes the private folder's lock; false only when another holds it.
bool lockedOrUnlockable(int folder) { return ::flock(folder, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK; }

// Whether `parent` is looked at for abandoned private folders for the first
// time in this process: a batch may remove many entries of one folder, and
// listing it for each would cost time in the square of its size. A folder
// is known by its birth time too, as a new one may take a removed one's
// inode (where the file system keeps no birth time, it is 0).
bool firstLookAt(int parent) {
  struct statx st;
  if (::statx(parent, "", AT_EMPTY_PATH, STATX_INO | STATX_BTIME, &st) != 0)
    return false;
  const std::int64_t born = (st.stx_mask & STATX_BTIME) ? st.stx_btime.tv_sec * 1'000'000'000 + st.stx_btime.tv_nsec : 0;
  static std::mutex mutex;
  static std::set<std::tuple<std::uint32_t, std::uint32_t, std::uint64_t, std::int64_t>> looked;
  const std::lock_guard lock(mutex);
  return looked.insert({st.stx_dev_major, st.stx_dev_minor, st.stx_ino, born}).second;
}

// Private folders left beside entries by removals whose process ended
// before finishing (killed, or the machine went down). Every running
// removal holds an flock on its folder, which the kernel drops with the
// process, so a folder whose lock is free is no one's any more: what it
// holds goes back under its own name, as after any interrupted removal, and
// the folder goes. Only the user's own private folders are touched, and a
// name taken meanwhile is never replaced.
void putBackAbandoned(int parent) {
  if (!firstLookAt(parent))
    return;
  const Result<std::vector<std::string>> names = folderNames(parent, {});
  for (const std::string &name : names ? *names : std::vector<std::string>()) {
    if (!name.starts_with(folderPrefix))
      continue;
    const UniqueFd folder(::openat(parent, name.c_str(), folderFlags));
    struct stat st;
    if (!folder || ::fstat(folder.get(), &st) != 0 || st.st_uid != ::geteuid() || (st.st_mode & 077) != 0 ||
        ::flock(folder.get(), LOCK_EX | LOCK_NB) != 0)
      continue;
    const Result<std::vector<std::string>> held = folderNames(folder.get(), {});
    for (const std::string &entry : held ? *held : std::vector<std::string>())
      ::renameat2(folder.get(), entry.c_str(), parent, entry.c_str(), RENAME_NOREPLACE);
    ::unlinkat(parent, name.c_str(), AT_REMOVEDIR);
  }
}

} // namespace

Result<RemovalQuarantine> RemovalQuarantine::enter(int parent, const std::string &name, const std::string &shownPath,
                                                   FileIdentity expected, OpenQuarantines *open) {
  const std::unique_lock<std::mutex> turn = open ? open->turn() : std::unique_lock<std::mutex>();
  auto fail = [&](std::string why, int error = 0) { return Failure{"remove", shownPath, error, std::move(why)}; };
  if (open && open->closed_)
    return fail("the program is ending");
  if (keepsItsEntries(parent))
    return fail("its folder is append-only or immutable, so nothing in it can be removed", EPERM);
  putBackAbandoned(parent);
  auto state = std::make_unique<State>(State{parent, name, shownPath, expected, open, {}, {}});
  for (int attempt = 0; !state->folder && !state->inPlace && attempt < 100; ++attempt) {
    state->folderName = std::string(folderPrefix) + Uuid::random().toString();
    if (::mkdirat(parent, state->folderName.c_str(), 0700) != 0) {
      if (errno == EEXIST)
        continue;
      if (!isNoRoom(errno))
        return fail(std::string("cannot make a private folder beside it: ") + std::strerror(errno));
      state->folderName.clear();
      state->inPlace = true; // see the class comment for why this is safe
      break;
    }
    state->folder.reset(::openat(parent, state->folderName.c_str(), folderFlags));
    // Ours, private and empty, or someone raced us to the name. Locked for
    // as long as this process lives, so that no other takes it for
    // abandoned (putBackAbandoned); a file system without locks (some
    // network and FUSE ones) only loses that.
    if (!state->folder || !isOurPrivateFolder(state->folder.get()) || !lockedOrUnlockable(state->folder.get()))
      return fail("the private folder beside it was tampered with");
  }
  if (!state->folder && !state->inPlace)
    return fail("no free name for a private folder beside it");
  if (!state->inPlace &&
      ::renameat2(parent, name.c_str(), state->folder.get(), name.c_str(), RENAME_NOREPLACE) != 0) {
    const int error = errno;
    finishInTurn(*state);
    return fail(state->folderLeft ? "the empty private folder " + state->folderName +
                                        " made beside it could not be removed either"
                                  : std::string(),
                error);
  }
  struct stat moved;
  if (::fstatat(state->inPlace ? parent : state->folder.get(), name.c_str(), &moved, AT_SYMLINK_NOFOLLOW) != 0 ||
      FileIdentity{moved.st_dev, moved.st_ino} != expected) {
    if (state->inPlace)
      return fail("it was replaced by another file after it was checked");
    return fail(finishInTurn(*state) ? "it was replaced by another file after it was checked; that file was put back"
                                     : "it was replaced by another file after it was checked; that file is kept in " +
                                           state->folderName + " beside it, as its name was taken again");
  }
  if (open)
    open->open_.push_back(state.get());
  return RemovalQuarantine(std::move(state));
}

RemovalQuarantine::RemovalQuarantine(std::unique_ptr<State> state) : state_(std::move(state)) {}

RemovalQuarantine::RemovalQuarantine(RemovalQuarantine &&other) noexcept = default;

RemovalQuarantine::~RemovalQuarantine() {
  if (state_)
    finish();
}

int RemovalQuarantine::folder() const { return state_->inPlace ? state_->parent : state_->folder.get(); }

const std::string &RemovalQuarantine::folderName() const { return state_->folderName; }

bool RemovalQuarantine::finish() {
  if (!state_)
    return true; // moved from
  OpenQuarantines *open = state_->open;
  const std::unique_lock<std::mutex> turn = open ? open->turn() : std::unique_lock<std::mutex>();
  return finishInTurn(*state_);
}

bool RemovalQuarantine::finishInTurn(State &state) {
  if (state.finished)
    return state.putBack;
  state.finished = true;
  if (state.open)
    std::erase(state.open->open_, &state);
  if (state.inPlace)
    return true;
  // Left over when the removal stopped part-way: back under its own name.
  struct stat st;
  const bool left = ::fstatat(state.folder.get(), state.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
  state.putBack = !left || ::renameat2(state.folder.get(), state.name.c_str(), state.parent, state.name.c_str(),
                                       RENAME_NOREPLACE) == 0;
  // The descriptor stays open until the owner is done: a removal still
  // running works relative to it, and a closed number could be reused.
  if (state.putBack)
    state.folderLeft = ::unlinkat(state.parent, state.folderName.c_str(), AT_REMOVEDIR) != 0;
  return state.putBack;
}

std::optional<Failure> RemovalQuarantine::finishForExit(State &state) {
  struct stat st;
  const int holder = state.inPlace ? state.parent : state.folder.get();
  const bool left = !state.finished && ::fstatat(holder, state.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                    FileIdentity{st.st_dev, st.st_ino} == state.expected;
  const bool putBack = finishInTurn(state);
  if (!left)
    return std::nullopt;
  return Failure{"remove all of", state.shownPath, 0,
                 state.inPlace ? "interrupted; what is left is still there"
                 : putBack     ? "interrupted; what is left is back under its name"
                               : "interrupted; what is left is in " + state.folderName +
                                     " beside it, as its name was taken meanwhile"};
}

} // namespace tarnwick
