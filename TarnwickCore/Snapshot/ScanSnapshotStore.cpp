#include "TarnwickCore/Snapshot/ScanSnapshotStore.h"

#include "TarnwickCore/Snapshot/ScanSnapshotWriter.h"
#include "TarnwickCore/Support/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {
namespace {

constexpr std::string_view suffix = ".qsnap";
constexpr std::string_view previousSuffix = ".previous.qsnap";
constexpr std::string_view temporaryPrefix = ".saving-";

// FNV-1a: stable across runs and builds, unlike std::hash.
std::uint64_t pathHash(std::string_view path) {
  std::uint64_t hash = 0xcbf29ce484222325;
  for (const char c : path) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3;
  }
  return hash;
}

std::string hashName(const std::string &rootPath) {
  char name[17];
  std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(pathHash(rootPath)));
  return name;
}

std::string fileName(const std::string &rootPath) { return hashName(rootPath) + std::string(suffix); }
std::string previousFileName(const std::string &rootPath) { return hashName(rootPath) + std::string(previousSuffix); }

// Creates `path` and its missing parents, private to the user.
bool makeFolders(const std::string &path) {
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string part = path.substr(0, slash);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
      return false;
    if (slash == std::string::npos)
      return true;
  }
}

// The store's folder, opened without following a link in its place and
// refused unless it is the user's own and closed to others: the store then
// works relative to it alone, so whatever takes its name later, or lies
// where a link would lead, is never written or removed. The folders above
// it need no such check, being only the way to it.
Result<UniqueFd> openFolder(const std::string &folder, bool create) {
  if (create && !makeFolders(folder))
    return Failure::fromErrno("create", folder);
  UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat st{};
  if (!fd && (errno == ELOOP || errno == ENOTDIR) && ::lstat(folder.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
    return Failure{"use", folder, 0, "it is a symbolic link"};
  if (!fd || ::fstat(fd.get(), &st) != 0)
    return Failure::fromErrno("open", folder);
  if (st.st_uid != ::geteuid())
    return Failure{"use", folder, 0, "it belongs to another user"};
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
    return Failure{"use", folder, 0, "other users may write in it"};
  return fd;
}

// `name` in `folder`, never through a link and never waiting for a writer
// (a FIFO in a snapshot's place); the reader refuses what is not a file.
UniqueFd openEntry(int folder, const std::string &name) {
  return UniqueFd(::openat(folder, name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
}

ScanSnapshotError openError(const std::string &path) {
  return {ScanSnapshotError::Kind::unreadable, 0, "cannot open " + path + ": " + std::strerror(errno)};
}

// A new temporary file in `folder`, its name put in `name`, as mkostemp
// makes one in a path.
UniqueFd createTemporary(int folder, std::string &name) {
  std::random_device entropy;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char unique[17];
    std::snprintf(unique, sizeof unique, "%08x%08x", entropy(), entropy());
    name = std::string(temporaryPrefix) + unique;
    UniqueFd fd(::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (fd || errno != EEXIST)
      return fd;
  }
  return UniqueFd();
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR)
      continue;
    if (written <= 0)
      return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

struct FolderFile {
  std::string name;
  std::uint64_t bytes = 0;
  timespec modified{};
  bool isTemporary = false;
};

// The snapshot and temporary files of `folder`, as they are now.
std::vector<FolderFile> folderFiles(int folder) {
  std::vector<FolderFile> files;
  // A descriptor of its own: a duplicate would share the read position.
  const int own = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const std::unique_ptr<DIR, int (*)(DIR *)> dir(own < 0 ? nullptr : ::fdopendir(own), ::closedir);
  if (!dir) {
    if (own >= 0)
      ::close(own);
    return files;
  }
  while (const dirent *entry = ::readdir(dir.get())) {
    const std::string_view name = entry->d_name;
    const bool isSnapshot = name.size() > suffix.size() && name.ends_with(suffix);
    const bool isTemporary = name.starts_with(temporaryPrefix);
    struct stat st{};
    if ((!isSnapshot && !isTemporary) || ::fstatat(::dirfd(dir.get()), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(st.st_mode))
      continue;
    files.push_back({std::string(name), static_cast<std::uint64_t>(st.st_size), st.st_mtim, isTemporary});
  }
  return files;
}

// Removes the stray temporary files of `folder` (a save that crashed), then
// its oldest snapshots but `kept` while they and `incoming` more bytes are
// over `capacity`.
void evict(int folder, const std::string &kept, std::uint64_t incoming, std::uint64_t capacity) {
  std::vector<FolderFile> files = folderFiles(folder);
  std::sort(files.begin(), files.end(), [](const FolderFile &a, const FolderFile &b) {
    if (a.isTemporary != b.isTemporary)
      return a.isTemporary;
    if (a.modified.tv_sec != b.modified.tv_sec)
      return a.modified.tv_sec < b.modified.tv_sec;
    if (a.modified.tv_nsec != b.modified.tv_nsec)
      return a.modified.tv_nsec < b.modified.tv_nsec;
    return a.name < b.name;
  });
  std::uint64_t total = incoming;
  for (const FolderFile &file : files)
    total += file.bytes;
  const std::time_t now = ::time(nullptr);
  for (const FolderFile &file : files) {
    // A temporary file a minute old is no save still under way.
    const bool stray = file.isTemporary && file.modified.tv_sec + 60 <= now;
    const bool evicted = file.isTemporary ? stray : file.name != kept && total > capacity;
    if (evicted && ::unlinkat(folder, file.name.c_str(), 0) == 0)
      total -= file.bytes;
  }
}

// Whether the file `name` in `folder` is the snapshot of `rootPath` made at
// `scanTime`, by its header.
bool holdsScan(int folder, const std::string &name, const std::string &rootPath, std::int64_t scanTime) {
  const UniqueFd fd = openEntry(folder, name);
  if (!fd)
    return false;
  const ScanSnapshotReader::HeaderOutcome header = ScanSnapshotReader::readHeaderOpenFile(fd.get(), name);
  const auto *read = std::get_if<ScanSnapshotHeader>(&header);
  return read && read->rootPath == rootPath && read->scanTime == scanTime;
}

// Links the current snapshot `name` of `rootPath` as its previous one,
// replacing the older previous one; nothing when there is none. A second
// name, then a rename over the old previous file: the current file stays
// readable throughout, and a crash leaves only a temporary name, which
// eviction removes.
void keepAsPrevious(int folder, const std::string &name, const std::string &rootPath) {
  const std::string staged = std::string(temporaryPrefix) + "previous-" + hashName(rootPath);
  ::unlinkat(folder, staged.c_str(), 0);
  if (::linkat(folder, name.c_str(), folder, staged.c_str(), 0) != 0)
    return;
  if (::renameat(folder, staged.c_str(), folder, previousFileName(rootPath).c_str()) != 0)
    ::unlinkat(folder, staged.c_str(), 0);
}

} // namespace

ScanSnapshotStore::ScanSnapshotStore(std::string folder, std::uint64_t capacityBytes)
    : folder_(std::move(folder)), capacityBytes_(capacityBytes) {}

std::string ScanSnapshotStore::defaultFolder(const UserEnvironment &environment) {
  return environment.cacheHome + "/quillane/scans";
}

std::string ScanSnapshotStore::filePathFor(const std::string &rootPath) const {
  return folder_ + "/" + fileName(rootPath);
}

std::string ScanSnapshotStore::previousFilePathFor(const std::string &rootPath) const {
  return folder_ + "/" + previousFileName(rootPath);
}

Result<std::string> ScanSnapshotStore::save(const DiskTreeArena &arena, std::int64_t scanTime) const {
  return write(arena, scanTime, true);
}

Result<std::string> ScanSnapshotStore::replace(const DiskTreeArena &arena, std::int64_t scanTime) const {
  return write(arena, scanTime, false);
}

Result<std::string> ScanSnapshotStore::write(const DiskTreeArena &arena, std::int64_t scanTime,
                                             bool keepReplaced) const {
  Result<UniqueFd> folder = openFolder(folder_, true);
  if (!folder)
    return folder.failure();
  const int at = folder->get();
  const std::string name = fileName(arena.rootPath());
  const std::string target = folder_ + "/" + name;
  if (!keepReplaced && !holdsScan(at, name, arena.rootPath(), scanTime))
    return Failure{"replace", target, 0, "it no longer holds the scan the tree came from"};
  const std::string bytes = ScanSnapshotWriter::encode(arena, scanTime);
  // Room first: a stray temporary file on a full disk would fail every save.
  evict(at, name, bytes.size(), capacityBytes_);
  std::string temporary;
  UniqueFd fd = createTemporary(at, temporary);
  if (!fd)
    return Failure::fromErrno("create a file in", folder_);
  const bool written = writeAll(fd.get(), bytes) && ::fsync(fd.get()) == 0 && ::close(fd.release()) == 0;
  if (written && keepReplaced)
    keepAsPrevious(at, name, arena.rootPath());
  if (!written || ::renameat(at, temporary.c_str(), at, name.c_str()) != 0) {
    Failure failure = Failure::fromErrno("write", target);
    ::unlinkat(at, temporary.c_str(), 0);
    return failure;
  }
  // The rename lasts once the folder's entry does.
  ::fsync(at);
  evict(at, name, 0, capacityBytes_);
  return target;
}

ScanSnapshotReader::Outcome ScanSnapshotStore::load(const std::string &rootPath) const {
  const std::string path = filePathFor(rootPath);
  const Result<UniqueFd> folder = openFolder(folder_, false);
  if (!folder)
    return ScanSnapshotError{ScanSnapshotError::Kind::unreadable, 0, folder.failure().message()};
  const UniqueFd fd = openEntry(folder->get(), fileName(rootPath));
  if (!fd)
    return openError(path);
  ScanSnapshotReader::Outcome outcome = ScanSnapshotReader::readOpenFile(fd.get(), path);
  if (const auto *arena = std::get_if<DiskTreeArena>(&outcome); arena && arena->rootPath() != rootPath)
    return ScanSnapshotError{ScanSnapshotError::Kind::unreadable, 0, path + " holds the scan of another root"};
  return outcome;
}

Result<void> ScanSnapshotStore::remove(const std::string &rootPath) const {
  const Result<UniqueFd> folder = openFolder(folder_, false);
  if (!folder)
    return folder.failure().errorNumber == ENOENT ? Result<void>() : Result<void>(folder.failure());
  for (const std::string &name : {fileName(rootPath), previousFileName(rootPath)})
    if (::unlinkat(folder->get(), name.c_str(), 0) != 0 && errno != ENOENT)
      return Failure::fromErrno("remove", folder_ + "/" + name);
  return {};
}

std::vector<ScanSnapshotStore::Entry> ScanSnapshotStore::list() const {
  std::vector<Entry> entries;
  const Result<UniqueFd> folder = openFolder(folder_, false);
  if (!folder)
    return entries;
  for (const FolderFile &file : folderFiles(folder->get())) {
    if (file.isTemporary || file.name.ends_with(previousSuffix))
      continue;
    Entry entry;
    entry.filePath = folder_ + "/" + file.name;
    entry.fileBytes = file.bytes;
    const UniqueFd fd = openEntry(folder->get(), file.name);
    auto header = fd ? ScanSnapshotReader::readHeaderOpenFile(fd.get(), entry.filePath)
                     : ScanSnapshotReader::HeaderOutcome(openError(entry.filePath));
    if (auto *read = std::get_if<ScanSnapshotHeader>(&header))
      entry.header = std::move(*read);
    else
      entry.error = std::get<ScanSnapshotError>(std::move(header));
    entries.push_back(std::move(entry));
  }
  std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
    if (a.header.has_value() != b.header.has_value())
      return a.header.has_value();
    if (a.header && a.header->scanTime != b.header->scanTime)
      return a.header->scanTime > b.header->scanTime;
    return a.filePath < b.filePath;
  });
  return entries;
}

std::optional<Failure> ScanSnapshotStore::refusal() const {
  const Result<UniqueFd> folder = openFolder(folder_, false);
  if (folder || folder.failure().errorNumber == ENOENT)
    return std::nullopt;
  return folder.failure();
}

std::optional<ScanSnapshotStore::Entry> ScanSnapshotStore::olderScanOf(const std::string &rootPath,
                                                                      std::int64_t before) const {
  const Result<UniqueFd> folder = openFolder(folder_, false);
  if (!folder)
    return std::nullopt;
  std::optional<Entry> newest;
  for (const std::string &name : {fileName(rootPath), previousFileName(rootPath)}) {
    const UniqueFd fd = openEntry(folder->get(), name);
    if (!fd)
      continue;
    const std::string path = folder_ + "/" + name;
    auto header = ScanSnapshotReader::readHeaderOpenFile(fd.get(), path);
    const auto *read = std::get_if<ScanSnapshotHeader>(&header);
    if (!read || read->rootPath != rootPath || read->scanTime >= before ||
        (newest && newest->header->scanTime >= read->scanTime))
      continue;
    struct stat st{};
    newest = Entry{path, ::fstat(fd.get(), &st) == 0 ? std::uint64_t(st.st_size) : 0, *read, std::nullopt};
  }
  return newest;
}

} // namespace tarnwick
