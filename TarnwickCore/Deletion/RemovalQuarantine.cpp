#include "TarnwickCore/Deletion/RemovalQuarantine.h"

#include "TarnwickCore/Support/Uuid.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <utility>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {
namespace {

constexpr int folderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

} // namespace

Result<RemovalQuarantine> RemovalQuarantine::enter(int parent, const std::string &name, const std::string &shownPath,
                                                   FileIdentity expected) {
  RemovalQuarantine quarantine(parent, name);
  auto fail = [&](std::string why) { return Failure{"remove", shownPath, 0, std::move(why)}; };
  for (int attempt = 0; !quarantine.folder_ && attempt < 100; ++attempt) {
    quarantine.folderName_ = ".quillane-removing-" + Uuid::random().toString();
    if (::mkdirat(parent, quarantine.folderName_.c_str(), 0700) != 0) {
      if (errno == EEXIST)
        continue;
      quarantine.finished_ = true;
      return fail(std::string("cannot make a private folder beside it: ") + std::strerror(errno));
    }
    quarantine.folder_.reset(::openat(parent, quarantine.folderName_.c_str(), folderFlags));
    struct stat st;
    // Ours, private and empty, or someone raced us to the name.
    if (!quarantine.folder_ || ::fstat(quarantine.folder_.get(), &st) != 0 || st.st_uid != ::geteuid() ||
        (st.st_mode & 077) != 0 || st.st_nlink != 2) {
      quarantine.finished_ = true;
      return fail("the private folder beside it was tampered with");
    }
  }
  if (!quarantine.folder_) {
    quarantine.finished_ = true;
    return fail("no free name for a private folder beside it");
  }
  if (::renameat2(parent, name.c_str(), quarantine.folder_.get(), name.c_str(), RENAME_NOREPLACE) != 0) {
    const int error = errno;
    quarantine.finish();
    return Failure{"remove", shownPath, error, {}};
  }
  struct stat moved;
  if (::fstatat(quarantine.folder_.get(), name.c_str(), &moved, AT_SYMLINK_NOFOLLOW) != 0 ||
      FileIdentity{moved.st_dev, moved.st_ino} != expected) {
    const std::string folderName = quarantine.folderName_;
    return fail(quarantine.finish()
                    ? "it was replaced by another file after it was checked; that file was put back"
                    : "it was replaced by another file after it was checked; that file is kept in " + folderName +
                          " beside it, as its name was taken again");
  }
  return quarantine;
}

RemovalQuarantine::RemovalQuarantine(RemovalQuarantine &&other) noexcept
    : parent_(other.parent_), name_(std::move(other.name_)), folderName_(std::move(other.folderName_)),
      folder_(std::move(other.folder_)), finished_(std::exchange(other.finished_, true)) {}

RemovalQuarantine::~RemovalQuarantine() {
  if (!finished_)
    finish();
}

bool RemovalQuarantine::finish() {
  if (finished_)
    return true;
  finished_ = true;
  // Left over when the removal stopped part-way: back under its own name.
  struct stat st;
  const bool left = ::fstatat(folder_.get(), name_.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
  const bool putBack = !left || ::renameat2(folder_.get(), name_.c_str(), parent_, name_.c_str(), RENAME_NOREPLACE) == 0;
  folder_.reset();
  if (putBack)
    ::unlinkat(parent_, folderName_.c_str(), AT_REMOVEDIR);
  return putBack;
}

} // namespace tarnwick
