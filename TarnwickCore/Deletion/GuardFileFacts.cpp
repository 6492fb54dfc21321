#include "TarnwickCore/Deletion/GuardFileFacts.h"

#include "TarnwickCore/Support/MountTable.h"
#include "TarnwickCore/Support/RealPath.h"
#include "TarnwickCore/Support/UniqueFd.h"

#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>
#include <sys/sysmacros.h>

namespace tarnwick {
namespace {

class SystemGuardFileFacts final : public GuardFileFacts {
public:
  bool exists(const std::string &path) const override {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
  }

  std::optional<std::string> canonicalPath(const std::string &path) const override { return realPath(path); }

  std::optional<LinkStatus> linkStatus(const std::string &path) const override {
    struct statx st;
    if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                STATX_TYPE | STATX_MODE | STATX_INO | STATX_MNT_ID | STATX_UID | STATX_GID, &st) != 0)
      return std::nullopt;
    const auto supported = st.stx_attributes_mask;
    const auto protectedAttributes = static_cast<std::uint64_t>(STATX_ATTR_IMMUTABLE | STATX_ATTR_APPEND);
    LinkStatus status;
    status.isSymbolicLink = S_ISLNK(st.stx_mode);
    status.isImmutable = (st.stx_attributes & supported & protectedAttributes) != 0;
    status.isDirectory = S_ISDIR(st.stx_mode);
    status.isMountRoot = (st.stx_attributes & supported & STATX_ATTR_MOUNT_ROOT) != 0;
    status.identity = {makedev(st.stx_dev_major, st.stx_dev_minor), st.stx_ino};
    status.mountId = (st.stx_mask & STATX_MNT_ID) ? st.stx_mnt_id : 0;
    status.owner = st.stx_uid;
    status.permissions = st.stx_mode & 07777;
    status.group = st.stx_gid;
    return status;
  }

  std::optional<std::string> linkText(const std::string &path) const override {
    std::string text(PATH_MAX, '\0');
    const ssize_t length = ::readlink(path.c_str(), text.data(), text.size());
    if (length < 0 || static_cast<std::size_t>(length) >= text.size())
      return std::nullopt;
    text.resize(static_cast<std::size_t>(length));
    return text;
  }

  std::optional<FileIdentity> identity(const std::string &path) const override {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
      return std::nullopt;
    return FileIdentity{st.st_dev, st.st_ino};
  }

  std::vector<std::string> folderNames(const std::string &path) const override {
    std::vector<std::string> names;
    DIR *folder = ::opendir(path.c_str());
    if (!folder)
      return names;
    while (const dirent *entry = ::readdir(folder)) {
      const std::string_view name = entry->d_name;
      if (name != "." && name != "..")
        names.emplace_back(name);
    }
    ::closedir(folder);
    return names;
  }

  std::optional<std::string> readSmallFile(const std::string &path) const override {
    UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st;
    if (!file || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode))
      return std::nullopt;
    std::string text;
    char buffer[16384];
    for (ssize_t got; text.size() < (1u << 20) && (got = ::read(file.get(), buffer, sizeof buffer)) != 0;) {
      if (got < 0)
        return std::nullopt;
      text.append(buffer, static_cast<std::size_t>(got));
    }
    return text;
  }

  std::optional<MountTable> mountTable() const override { return MountTable::readCurrent(); }

  std::optional<std::string> accountHome() const override {
    std::vector<char> buffer(16384);
    struct passwd entry, *found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_dir)
      return std::nullopt;
    return std::string(found->pw_dir);
  }
};

} // namespace

std::optional<std::string> GuardFileFacts::linkText(const std::string &) const { return std::nullopt; }

const GuardFileFacts &GuardFileFacts::system() {
  static const SystemGuardFileFacts facts;
  return facts;
}

} // namespace tarnwick
