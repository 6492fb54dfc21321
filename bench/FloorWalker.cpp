// quillane-floor DIR [--threads N]
//
// The least work a parallel disk-usage scan can do, used as the floor that
// real scanners are measured against: per directory one open, getdents64
// into a 128 KiB buffer until the end, and one statx per entry. It keeps no
// tree and no paths beyond the queue of directories still to list.
//
// Output (stdout, one line): allocated bytes of non-directories (hard-linked
// inodes counted once), entries seen below DIR, directories among them, and
// entries that could not be listed or inspected.

#include "SharedWorkStack.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <utility>
#include <vector>

namespace {

constexpr std::size_t listingBufferBytes = 131072;

// glibc's dirent64 has the kernel's getdents64 record layout.
static_assert(offsetof(struct dirent64, d_name) == 19);

struct Totals {
  std::uint64_t bytes = 0;
  std::uint64_t entries = 0;
  std::uint64_t directories = 0;
  std::uint64_t errors = 0;
};

/// Inodes with more than one link, so each is counted once. Multiply linked
/// files are rare, so one lock is no contention in practice.
class HardLinkSet {
public:
  bool firstSighting(std::uint64_t dev, std::uint64_t ino) {
    std::lock_guard lock(mutex_);
    return seen_.insert(dev * 0x9e3779b97f4a7c15ULL ^ ino).second;
  }

private:
  std::mutex mutex_;
  std::unordered_set<std::uint64_t> seen_;
};

void listDirectory(const std::string &path, char *buffer, std::vector<std::string> &found, Totals &totals,
                   HardLinkSet &links) {
  int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    ++totals.errors;
    return;
  }
  for (;;) {
    long n = ::syscall(SYS_getdents64, fd, buffer, listingBufferBytes);
    if (n <= 0) {
      if (n < 0)
        ++totals.errors;
      break;
    }
    for (long offset = 0; offset < n;) {
      const auto *d = reinterpret_cast<const struct dirent64 *>(buffer + offset);
      offset += d->d_reclen;
      const char *name = d->d_name;
      if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
        continue;
      struct statx sx;
      if (::statx(fd, name, AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC,
                  STATX_TYPE | STATX_MODE | STATX_INO | STATX_NLINK | STATX_SIZE | STATX_BLOCKS |
                      STATX_MTIME,
                  &sx) != 0) {
        ++totals.errors;
        continue;
      }
      ++totals.entries;
      if (S_ISDIR(sx.stx_mode)) {
        ++totals.directories;
        std::string child = path;
        if (child.back() != '/')
          child.push_back('/');
        child += name;
        found.push_back(std::move(child));
      } else if (sx.stx_nlink <= 1 ||
                 links.firstSighting((std::uint64_t{sx.stx_dev_major} << 32) | sx.stx_dev_minor, sx.stx_ino)) {
        totals.bytes += sx.stx_blocks * 512;
      }
    }
  }
  ::close(fd);
}

[[noreturn]] void usage(int status) {
  std::fprintf(status == 0 ? stdout : stderr, "usage: quillane-floor DIR [--threads N]\n");
  std::exit(status);
}

} // namespace

int main(int argc, char **argv) {
  std::string root;
  unsigned threads = 8;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--threads" && i + 1 < argc)
      threads = static_cast<unsigned>(std::clamp(std::atoi(argv[++i]), 1, 256));
    else if (arg == "-h" || arg == "--help")
      usage(0);
    else if (!arg.empty() && arg[0] != '-' && root.empty())
      root = arg;
    else
      usage(2);
  }
  if (root.empty())
    usage(2);

  auto start = std::chrono::steady_clock::now();
  SharedWorkStack<std::string> queue;
  queue.start(root);
  HardLinkSet links;
  std::mutex totalsMutex;
  Totals total;
  std::vector<std::thread> workers;
  for (unsigned t = 0; t < threads; ++t) {
    workers.emplace_back([&] {
      std::vector<char> buffer(listingBufferBytes);
      std::vector<std::string> found;
      Totals mine;
      std::string path;
      while (queue.pop(path)) {
        listDirectory(path, buffer.data(), found, mine, links);
        queue.finish(found);
      }
      std::lock_guard lock(totalsMutex);
      total.bytes += mine.bytes;
      total.entries += mine.entries;
      total.directories += mine.directories;
      total.errors += mine.errors;
    });
  }
  for (std::thread &w : workers)
    w.join();
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  std::printf("%s: %llu bytes (%.2f GiB) in %llu entries, %llu directories, %llu errors; %.3f s, %u threads\n",
              root.c_str(), static_cast<unsigned long long>(total.bytes),
              static_cast<double>(total.bytes) / (1u << 30), static_cast<unsigned long long>(total.entries),
              static_cast<unsigned long long>(total.directories), static_cast<unsigned long long>(total.errors),
              seconds, threads);
  return total.errors == 0 ? 0 : 1;
}
