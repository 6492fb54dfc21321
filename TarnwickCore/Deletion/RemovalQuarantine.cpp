#include "TarnwickCore/Deletion/RemovalQuarantine.h"

#include "TarnwickCore/Support/Uuid.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {
namespace {

constexpr int folderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

[[noreturn]] void fail(const std::string &shownPath, const std::string &why) {
  throw std::runtime_error("cannot remove " + shownPath + ": " + why);
}

} // namespace

RemovalQuarantine::RemovalQuarantine(int parent, const std::string &name, const std::string &shownPath,
                                     FileIdentity expected)
    : parent_(parent), name_(name) {
  for (int attempt = 0; !folder_ && attempt < 100; ++attempt) {
    folderName_ = ".quillane-removing-" + Uuid::random().toString();
    if (::mkdirat(parent, folderName_.c_str(), 0700) != 0) {
      if (errno == EEXIST)
        continue;
      fail(shownPath, std::string("cannot make a private folder beside it: ") + std::strerror(errno));
    }
    folder_.reset(::openat(parent, folderName_.c_str(), folderFlags));
    struct stat st;
    // Ours, private and empty, or someone raced us to the name.
    if (!folder_ || ::fstat(folder_.get(), &st) != 0 || st.st_uid != ::geteuid() || (st.st_mode & 077) != 0 ||
        st.st_nlink != 2)
      fail(shownPath, "the private folder beside it was tampered with");
  }
  if (!folder_)
    fail(shownPath, "no free name for a private folder beside it");
  if (::renameat2(parent, name.c_str(), folder_.get(), name.c_str(), RENAME_NOREPLACE) != 0) {
    const int error = errno;
    ::unlinkat(parent, folderName_.c_str(), AT_REMOVEDIR);
    fail(shownPath, std::strerror(error));
  }
  struct stat moved;
  if (::fstatat(folder_.get(), name.c_str(), &moved, AT_SYMLINK_NOFOLLOW) != 0 ||
      FileIdentity{moved.st_dev, moved.st_ino} != expected) {
    fail(shownPath, finish() ? "it was replaced by another file after it was checked; that file was put back"
                             : "it was replaced by another file after it was checked; that file is kept in " +
                                   folderName_ + " beside it, as its name was taken again");
  }
}

RemovalQuarantine::~RemovalQuarantine() {
  if (!finished_)
    finish();
}

bool RemovalQuarantine::finish() {
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
