#include "TarnwickCore/Deletion/KeptEntryCleaning.h"

#include "TarnwickCore/Catalogue/CleanableItem.h"
#include "TarnwickCore/Support/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <optional>
#include <stdexcept>
#include <set>
#include <sys/stat.h>

namespace tarnwick {
namespace {

constexpr int folderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
// Deeper folders are left in place rather than looked through.
constexpr int deepestLevel = 64;

std::uint64_t mountIdOf(int fd) {
  struct statx st;
  if (::statx(fd, "", AT_EMPTY_PATH, STATX_MNT_ID, &st) != 0 || !(st.stx_mask & STATX_MNT_ID))
    return 0;
  return st.stx_mnt_id;
}

// The names of an open folder, read through a duplicate so `folder` stays
// usable; nothing when it cannot be read completely.
std::optional<std::vector<std::pair<std::string, unsigned char>>> listFolder(int folder) {
  const int copy = ::openat(folder, ".", folderFlags);
  DIR *stream = copy < 0 ? nullptr : ::fdopendir(copy);
  if (!stream) {
    if (copy >= 0)
      ::close(copy);
    return std::nullopt;
  }
  std::vector<std::pair<std::string, unsigned char>> names;
  errno = 0;
  while (const dirent *entry = ::readdir(stream)) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..")
      names.emplace_back(name, entry->d_type);
  }
  const bool complete = errno == 0;
  ::closedir(stream);
  if (!complete)
    return std::nullopt;
  return names;
}

std::optional<FileIdentity> identityOf(int folder) {
  struct stat st;
  if (::fstat(folder, &st) != 0)
    return std::nullopt;
  return FileIdentity{st.st_dev, st.st_ino};
}

bool isFolder(int parent, const std::string &name, unsigned char listedType) {
  if (listedType != DT_UNKNOWN)
    return listedType == DT_DIR;
  struct stat st;
  return ::fstatat(parent, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

class KeptEntryWalk {
public:
  KeptEntryWalk(const std::vector<std::string> &keptNames, const EntryAction &act) : kept_(keptNames), act_(act) {}

  Result<KeptEntryOutcome> run(int parent, const std::string &name, const std::string &shown,
                               std::optional<FileIdentity> expected) {
    UniqueFd folder(::openat(parent, name.c_str(), folderFlags));
    struct stat st;
    if (folder && expected && (::fstat(folder.get(), &st) != 0 || FileIdentity{st.st_dev, st.st_ino} != *expected))
      return Failure{"clean", shown, 0, "it was replaced by another file after it was checked; it was left alone"};
    if (!folder) {
      if (errno != ENOTDIR && errno != ELOOP)
        return Failure::fromErrno("look inside", shown);
      return whole(parent, name, shown, expected); // not a folder: nothing inside to keep
    }
    mountId_ = mountIdOf(folder.get());
    if (!look(folder.get(), shown, 0)) {
      folder.reset();
      return whole(parent, name, shown, expected);
    }
    clean(folder.get(), shown);
    return std::move(outcome_);
  }

private:
  Result<KeptEntryOutcome> whole(int parent, const std::string &name, const std::string &shown,
                                 std::optional<FileIdentity> expected) {
    if (Result<void> done = act_(parent, name, shown, expected); !done)
      return done.failure();
    return KeptEntryOutcome{};
  }

  bool isKept(std::string_view name) const { return CleanableItem::isKeptName(kept_, name); }

  void leave(const std::string &shown) { outcome_.keptPaths.push_back(shown); }

  // Whether the folder holds a kept entry, or might (parts of it could not
  // be looked through). Remembers the names of each such folder.
  bool look(int folder, const std::string &shown, int depth) {
    const auto names = listFolder(folder);
    if (!names) {
      leave(shown);
      return true;
    }
    bool holds = false;
    for (const auto &[name, type] : *names) {
      const std::string child = shown + "/" + name;
      if (isKept(name)) {
        leave(child);
        holds = true;
        continue;
      }
      if (!isFolder(folder, name, type))
        continue;
      UniqueFd sub(::openat(folder, name.c_str(), folderFlags));
      if (!sub || depth + 1 >= deepestLevel || mountIdOf(sub.get()) != mountId_) {
        leave(child);
        holds = true;
      } else if (look(sub.get(), child, depth + 1)) {
        holds = true;
      }
    }
    if (holds) {
      Checked &seen = checked_[shown];
      seen.identity = identityOf(folder);
      for (const auto &entry : *names)
        seen.names.insert(entry.first);
    }
    return holds;
  }

  // Acts on every entry of a folder that holds kept ones, except those and
  // the folders that hold them, which it enters instead.
  void clean(int folder, const std::string &shown) {
    const auto names = listFolder(folder);
    const auto seen = checked_.find(shown);
    if (!names || seen == checked_.end())
      return;
    const std::vector<std::string> &left = outcome_.keptPaths;
    for (const auto &[name, type] : *names) {
      const std::string child = shown + "/" + name;
      if (isKept(name) || !seen->second.names.contains(name) || std::ranges::find(left, child) != left.end())
        continue;
      if (auto holding = checked_.find(child); holding != checked_.end()) {
        // The folder looked through, not another swapped in or mounted there.
        UniqueFd sub{::openat(folder, name.c_str(), folderFlags)};
        if (sub && identityOf(sub.get()) == holding->second.identity)
          clean(sub.get(), child);
        else
          leave(child);
        continue;
      }
      if (Result<void> done = act_(folder, name, child, std::nullopt); !done)
        outcome_.failures.push_back(done.failure().message());
    }
  }

  const std::vector<std::string> &kept_;
  const EntryAction &act_;
  std::uint64_t mountId_ = 0;
  struct Checked {
    std::optional<FileIdentity> identity;
    std::set<std::string> names;
  };
  std::map<std::string, Checked> checked_; // folders that hold kept entries → what was seen of them
  KeptEntryOutcome outcome_;
};

} // namespace

Result<KeptEntryOutcome> cleanAroundKeptEntries(int parent, const std::string &name, const std::string &shownPath,
                                                const std::vector<std::string> &keptNames, const EntryAction &act,
                                                std::optional<FileIdentity> expected) {
  return KeptEntryWalk(keptNames, act).run(parent, name, shownPath, expected);
}

} // namespace tarnwick
