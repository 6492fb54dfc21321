#include "TarnwickCore/Snapshot/ScanSnapshotStore.h"

#include "TarnwickCore/Snapshot/ScanSnapshotWriter.h"
#include "TarnwickCore/Support/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
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
std::vector<FolderFile> folderFiles(const std::string &folder) {
  std::vector<FolderFile> files;
  const std::unique_ptr<DIR, int (*)(DIR *)> dir(::opendir(folder.c_str()), ::closedir);
  if (!dir)
    return files;
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

} // namespace

ScanSnapshotStore::ScanSnapshotStore(std::string folder, std::uint64_t capacityBytes)
    : folder_(std::move(folder)), capacityBytes_(capacityBytes) {}

std::string ScanSnapshotStore::defaultFolder(const UserEnvironment &environment) {
  return environment.cacheHome + "/quillane/scans";
}

namespace {

std::string hashName(const std::string &rootPath) {
  char name[17];
  std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(pathHash(rootPath)));
  return name;
}

} // namespace

std::string ScanSnapshotStore::filePathFor(const std::string &rootPath) const {
  return folder_ + "/" + hashName(rootPath) + std::string(suffix);
}

std::string ScanSnapshotStore::previousFilePathFor(const std::string &rootPath) const {
  return folder_ + "/" + hashName(rootPath) + std::string(previousSuffix);
}

void ScanSnapshotStore::keepAsPrevious(const std::string &target, const std::string &rootPath) const {
  // A second name, then a rename over the old previous file: the current
  // file stays readable throughout, and a crash leaves only a temporary
  // name, which eviction removes.
  const std::string staged = folder_ + "/" + std::string(temporaryPrefix) + "previous-" + hashName(rootPath);
  ::unlink(staged.c_str());
  if (::link(target.c_str(), staged.c_str()) != 0)
    return;
  if (::rename(staged.c_str(), previousFilePathFor(rootPath).c_str()) != 0)
    ::unlink(staged.c_str());
}

Result<std::string> ScanSnapshotStore::save(const DiskTreeArena &arena, std::int64_t scanTime) const {
  if (!makeFolders(folder_))
    return Failure::fromErrno("create", folder_);
  const std::string target = filePathFor(arena.rootPath());
  std::string temporary = folder_ + "/" + std::string(temporaryPrefix) + "XXXXXX";
  UniqueFd fd(::mkostemp(temporary.data(), O_CLOEXEC));
  if (!fd)
    return Failure::fromErrno("create a file in", folder_);
  const std::string bytes = ScanSnapshotWriter::encode(arena, scanTime);
  const bool written = writeAll(fd.get(), bytes) && ::fsync(fd.get()) == 0 && ::close(fd.release()) == 0;
  if (written)
    keepAsPrevious(target, arena.rootPath());
  if (!written || ::rename(temporary.c_str(), target.c_str()) != 0) {
    Failure failure = Failure::fromErrno("write", target);
    ::unlink(temporary.c_str());
    return failure;
  }
  // The rename lasts once the folder's entry does.
  if (UniqueFd folder(::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)); folder)
    ::fsync(folder.get());
  evictBeyondCapacity(target);
  return target;
}

void ScanSnapshotStore::evictBeyondCapacity(const std::string &kept) const {
  std::vector<FolderFile> files = folderFiles(folder_);
  // Stray temporary files first (a save that crashed), then the oldest.
  std::sort(files.begin(), files.end(), [](const FolderFile &a, const FolderFile &b) {
    if (a.isTemporary != b.isTemporary)
      return a.isTemporary;
    if (a.modified.tv_sec != b.modified.tv_sec)
      return a.modified.tv_sec < b.modified.tv_sec;
    if (a.modified.tv_nsec != b.modified.tv_nsec)
      return a.modified.tv_nsec < b.modified.tv_nsec;
    return a.name < b.name;
  });
  std::uint64_t total = 0;
  for (const FolderFile &file : files)
    total += file.bytes;
  const std::time_t now = ::time(nullptr);
  for (const FolderFile &file : files) {
    const std::string path = folder_ + "/" + file.name;
    // A temporary file a minute old is no save still under way.
    const bool stray = file.isTemporary && file.modified.tv_sec + 60 <= now;
    const bool evict = file.isTemporary ? stray : path != kept && total > capacityBytes_;
    if (!evict)
      continue;
    if (::unlink(path.c_str()) == 0)
      total -= file.bytes;
  }
}

ScanSnapshotReader::Outcome ScanSnapshotStore::load(const std::string &rootPath) const {
  const std::string path = filePathFor(rootPath);
  ScanSnapshotReader::Outcome outcome = ScanSnapshotReader::readFile(path);
  if (const auto *arena = std::get_if<DiskTreeArena>(&outcome); arena && arena->rootPath() != rootPath)
    return ScanSnapshotError{ScanSnapshotError::Kind::unreadable, 0, path + " holds the scan of another root"};
  return outcome;
}

Result<void> ScanSnapshotStore::remove(const std::string &rootPath) const {
  for (const std::string &path : {filePathFor(rootPath), previousFilePathFor(rootPath)})
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
      return Failure::fromErrno("remove", path);
  return {};
}

std::vector<ScanSnapshotStore::Entry> ScanSnapshotStore::list() const {
  std::vector<Entry> entries;
  for (const FolderFile &file : folderFiles(folder_)) {
    if (file.isTemporary || file.name.ends_with(previousSuffix))
      continue;
    Entry entry;
    entry.filePath = folder_ + "/" + file.name;
    entry.fileBytes = file.bytes;
    auto header = ScanSnapshotReader::readHeaderFile(entry.filePath);
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

std::optional<ScanSnapshotStore::Entry> ScanSnapshotStore::olderScanOf(const std::string &rootPath,
                                                                      std::int64_t before) const {
  std::optional<Entry> newest;
  for (const std::string &path : {filePathFor(rootPath), previousFilePathFor(rootPath)}) {
    auto header = ScanSnapshotReader::readHeaderFile(path);
    const auto *read = std::get_if<ScanSnapshotHeader>(&header);
    if (!read || read->rootPath != rootPath || read->scanTime >= before ||
        (newest && newest->header->scanTime >= read->scanTime))
      continue;
    struct stat st{};
    newest = Entry{path, ::stat(path.c_str(), &st) == 0 ? std::uint64_t(st.st_size) : 0, *read, std::nullopt};
  }
  return newest;
}

} // namespace tarnwick
