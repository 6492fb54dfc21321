#include "TarnwickCore/FreedesktopTrash.h"

#include "TarnwickCore/UniqueFd.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {
namespace {

std::string failure(const std::string &what, const std::string &path) {
  return what + " " + path + ": " + std::strerror(errno);
}

// Creates `path` and any missing parents; new directories get `mode`.
bool makeDirectories(const std::string &path, mode_t mode) {
  struct stat st;
  if (::stat(path.c_str(), &st) == 0)
    return S_ISDIR(st.st_mode);
  auto slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0 && !makeDirectories(path.substr(0, slash), 0700))
    return false;
  return ::mkdir(path.c_str(), mode) == 0 || errno == EEXIST;
}

// Percent-encodes like a URL path: unreserved characters and '/' stay.
std::string percentEncoded(const std::string &bytes) {
  static constexpr char hex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                 c == '.' || c == '_' || c == '~' || c == '/';
    if (plain) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(hex[c >> 4]);
      out.push_back(hex[c & 0xF]);
    }
  }
  return out;
}

std::string localTimestamp() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  return text;
}

std::string parentOf(const std::string &path) {
  auto slash = path.rfind('/');
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The mount point holding `path`: the highest ancestor on the same device.
std::string topDirectoryOf(const std::string &path, dev_t device) {
  std::string top = parentOf(path);
  while (top != "/") {
    struct stat st;
    std::string up = parentOf(top);
    if (::stat(up.c_str(), &st) != 0 || st.st_dev != device)
      break;
    top = up;
  }
  return top;
}

struct TrashTarget {
  std::string directory;    // holds files/ and info/
  std::string recordedPath; // what Path= says: absolute, or relative to the top directory
};

} // namespace

FreedesktopTrash::FreedesktopTrash(std::string homeDirectory, std::optional<std::string> dataHome)
    : home_(std::move(homeDirectory)),
      dataHome_(dataHome && !dataHome->empty() ? *dataHome : home_ + "/.local/share") {}

FreedesktopTrash FreedesktopTrash::forCurrentUser() {
  const char *home = std::getenv("HOME");
  const char *dataHome = std::getenv("XDG_DATA_HOME");
  return FreedesktopTrash(home ? home : "/", dataHome ? std::optional<std::string>(dataHome) : std::nullopt);
}

std::string FreedesktopTrash::homeTrashDirectory() const { return dataHome_ + "/Trash"; }

std::string FreedesktopTrash::moveToTrash(const std::string &path) const {
  struct stat item;
  if (::lstat(path.c_str(), &item) != 0)
    throw TrashError(failure("cannot move to the Trash", path));

  // The home trash when the item shares its file system, else the item's
  // own file system's trash.
  TrashTarget target{homeTrashDirectory(), path};
  if (!makeDirectories(dataHome_, 0700))
    throw TrashError(failure("cannot create", dataHome_));
  struct stat homeTrashParent;
  if (::stat(dataHome_.c_str(), &homeTrashParent) != 0 || homeTrashParent.st_dev != item.st_dev) {
    const std::string top = topDirectoryOf(path, item.st_dev);
    const std::string uid = std::to_string(::getuid());
    struct stat shared;
    const std::string sharedTrash = (top == "/" ? "" : top) + "/.Trash";
    bool usable = ::lstat(sharedTrash.c_str(), &shared) == 0 && S_ISDIR(shared.st_mode) && (shared.st_mode & S_ISVTX);
    target.directory = usable ? sharedTrash + "/" + uid : (top == "/" ? "" : top) + "/.Trash-" + uid;
    target.recordedPath = path.substr(top == "/" ? 1 : top.size() + 1);
  }
  const std::string files = target.directory + "/files", info = target.directory + "/info";
  if (!makeDirectories(files, 0700) || !makeDirectories(info, 0700))
    throw TrashError(failure("cannot create the Trash in", target.directory));
  struct stat trashFiles;
  if (::stat(files.c_str(), &trashFiles) != 0 || trashFiles.st_dev != item.st_dev)
    throw TrashError("cannot move " + path + " to the Trash: no Trash on its file system, and moving it elsewhere "
                     "would mean copying it");

  const std::string base = path.substr(path.rfind('/') + 1);
  const std::string record = "[Trash Info]\nPath=" + percentEncoded(target.recordedPath) +
                             "\nDeletionDate=" + localTimestamp() + "\n";
  for (int attempt = 1; attempt < 10'000; ++attempt) {
    const std::string name = attempt == 1 ? base : base + "." + std::to_string(attempt);
    const std::string infoPath = info + "/" + name + ".trashinfo";
    UniqueFd infoFile(::open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!infoFile) {
      if (errno == EEXIST)
        continue; // another item holds this name
      throw TrashError(failure("cannot write", infoPath));
    }
    const bool written = ::write(infoFile.get(), record.data(), record.size()) ==
                             static_cast<ssize_t>(record.size()) &&
                         ::fsync(infoFile.get()) == 0;
    const int writeError = errno;
    infoFile.reset();
    const std::string destination = files + "/" + name;
    if (!written) {
      ::unlink(infoPath.c_str());
      errno = writeError;
      throw TrashError(failure("cannot write", infoPath));
    }
    if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, destination.c_str(), RENAME_NOREPLACE) == 0)
      return destination;
    const int moveError = errno;
    ::unlink(infoPath.c_str());
    if (moveError == EEXIST)
      continue; // a stray file without a record holds this name
    errno = moveError;
    throw TrashError(failure("cannot move to the Trash", path));
  }
  throw TrashError("cannot move " + path + " to the Trash: no free name");
}

} // namespace tarnwick
