#include "TarnwickCore/Deletion/TrashEntrySize.h"

#include "TarnwickCore/Deletion/GuardFileFacts.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <map>
#include <string_view>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace tarnwick {
namespace {

struct DirCloser {
  void operator()(DIR *stream) const { ::closedir(stream); }
};
using DirStream = std::unique_ptr<DIR, DirCloser>;

class SizeWalk {
public:
  SizeWalk(std::uint64_t mountId, std::stop_token stop) : mountId_(mountId), stop_(std::move(stop)) {}

  TrashEntrySize run(int folder, const char *name) {
    visit(folder, name);
    while (!levels_.empty()) {
      if (stop_.stop_requested()) {
        result_.complete = false;
        break;
      }
      errno = 0;
      const dirent *entry = ::readdir(levels_.back().get());
      if (!entry) {
        result_.complete = result_.complete && errno == 0;
        levels_.pop_back();
      } else if (std::string_view(entry->d_name) != "." && std::string_view(entry->d_name) != "..") {
        visit(::dirfd(levels_.back().get()), entry->d_name);
      }
    }
    return result_;
  }

private:
  // Counts one entry, and queues a folder of the same mount to be walked.
  void visit(int folder, const char *name) {
    struct statx st;
    constexpr unsigned wanted = STATX_TYPE | STATX_BLOCKS | STATX_INO | STATX_NLINK | STATX_MNT_ID;
    if (::statx(folder, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, wanted, &st) != 0) {
      result_.complete = false;
      return;
    }
    if ((st.stx_mask & STATX_MNT_ID) && st.stx_mnt_id != mountId_) {
      result_.complete = false; // another file system: not ours to count
      return;
    }
    const FileIdentity identity{(std::uint64_t{st.stx_dev_major} << 32) | st.stx_dev_minor, st.stx_ino};
    const auto bytes = static_cast<std::int64_t>(st.stx_blocks) * 512;
    if (st.stx_nlink > 1 && !S_ISDIR(st.stx_mode)) {
      const auto [at, first] = shared_.try_emplace({identity.device, identity.inode}, result_.removal.sharedFiles.size());
      if (first)
        result_.removal.sharedFiles.push_back({identity.device, identity.inode, st.stx_nlink, 0, bytes});
      ++result_.removal.sharedFiles[at->second].namesFound;
      if (!first)
        return;
    } else {
      result_.removal.unsharedBytes += bytes;
      if (S_ISDIR(st.stx_mode))
        result_.removal.folderBytes += bytes;
    }
    result_.bytes += bytes;
    if (!S_ISDIR(st.stx_mode))
      return;
    const int fd = ::openat(folder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    DirStream stream(fd >= 0 ? ::fdopendir(fd) : nullptr);
    if (!stream) {
      if (fd >= 0)
        ::close(fd);
      result_.complete = false;
      return;
    }
    levels_.push_back(std::move(stream));
  }

  std::uint64_t mountId_;
  std::stop_token stop_;
  std::vector<DirStream> levels_;
  /// Multi-link files met so far → their place in result_.removal.sharedFiles.
  std::map<std::pair<std::uint64_t, std::uint64_t>, std::size_t> shared_;
  TrashEntrySize result_;
};

} // namespace

TrashEntrySize TrashEntrySize::measure(int folder, const std::string &name, std::stop_token stop) {
  struct statx st;
  if (::statx(folder, "", AT_EMPTY_PATH, STATX_MNT_ID, &st) != 0 || !(st.stx_mask & STATX_MNT_ID))
    return {0, false, {}};
  return SizeWalk(st.stx_mnt_id, std::move(stop)).run(folder, name.c_str());
}

} // namespace tarnwick
