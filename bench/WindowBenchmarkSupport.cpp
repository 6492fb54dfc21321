#include "WindowBenchmarkSupport.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <stdexcept>

namespace quillane::bench {
namespace {

[[noreturn]] void fail(const std::string &what, const std::filesystem::path &path) {
  throw std::runtime_error(what + " " + path.string() + ": " + std::strerror(errno));
}

// The scanner counts allocated blocks, not lengths, so every file needs
// real blocks: a sparse file would get no tile at all. posix_fallocate
// reserves them without writing data (glibc writes them itself where the
// file system cannot), which keeps creation quick and the disk idle.
void makeAllocatedFile(const std::filesystem::path &path, std::int64_t bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0)
    fail("cannot create", path);
  const int status = ::posix_fallocate(fd, 0, static_cast<off_t>(bytes));
  ::close(fd);
  if (status != 0) {
    errno = status;
    fail("cannot allocate blocks for", path);
  }
}

} // namespace

ScratchFolder::ScratchFolder() {
  const char *base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/quillane-bench-window.XXXXXX";
  if (!::mkdtemp(pattern.data()))
    fail("cannot create a scratch folder like", pattern);
  path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void makeSimilarFolders(const std::filesystem::path &root, int count) {
  std::filesystem::create_directories(root);
  for (int i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "project-%03d", i);
    const std::filesystem::path folder = root / name;
    std::filesystem::create_directory(folder);
    // 192 KiB to 256 KiB per folder, in whole blocks.
    const std::int64_t kib = 192 + (i * 37) % 65;
    makeAllocatedFile(folder / "data.bin", (kib - 16) * 1024);
    makeAllocatedFile(folder / "notes.txt", 16 * 1024);
  }
}

void makeWideFolder(const std::filesystem::path &folder, int count) {
  std::filesystem::create_directories(folder);
  std::mt19937 random(7);
  for (int i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "item-%06d.dat", i);
    // One to three blocks for most files, sixteen for one in sixteen.
    const std::int64_t blocks = random() % 16 == 0 ? 16 : 1 + random() % 3;
    makeAllocatedFile(folder / name, blocks * 4096);
  }
}

std::int64_t residentBytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0)
      return std::strtoll(line.c_str() + 6, nullptr, 10) * 1024; // the kernel reports kB
  return 0;
}

ThreadSchedulerClock::ThreadSchedulerClock() : fd_(::open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC)) {}

ThreadSchedulerClock::~ThreadSchedulerClock() {
  if (fd_ >= 0)
    ::close(fd_);
}

ThreadSchedulerClock::Reading ThreadSchedulerClock::read() const {
  char text[128];
  const ssize_t length = fd_ < 0 ? -1 : ::pread(fd_, text, sizeof text - 1, 0);
  if (length <= 0)
    return {};
  text[length] = 0;
  char *rest = nullptr;
  const double running = std::strtod(text, &rest); // nanoseconds
  const double waiting = std::strtod(rest, nullptr);
  return {running / 1e6, waiting / 1e6};
}

ResidentBreakdown residentBreakdown() {
  ResidentBreakdown breakdown;
  std::ifstream smaps("/proc/self/smaps");
  std::string line;
  std::int64_t *bucket = nullptr;
  while (std::getline(smaps, line)) {
    // A mapping's header starts with its address range, "lo-hi perms ...";
    // the attribute lines under it start with a capitalised "Name:".
    if (!line.empty() && std::isxdigit(static_cast<unsigned char>(line[0])) && line.find('-') < line.find(' ')) {
      const std::size_t pathStart = line.find_first_of("/[", line.find(' '));
      const std::string path = pathStart == std::string::npos ? "" : line.substr(pathStart);
      bucket = path == "[heap]"        ? &breakdown.mainHeap
               : path.rfind('/', 0) == 0 ? &breakdown.files
                                         : &breakdown.otherAnonymous;
    } else if (bucket && line.rfind("Rss:", 0) == 0) {
      *bucket += std::strtoll(line.c_str() + 4, nullptr, 10) * 1024;
    }
  }
  return breakdown;
}

Summary summarize(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  const std::size_t n = samples.size();
  Summary summary;
  summary.median = n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
  summary.worst = samples.back();
  return summary;
}

} // namespace quillane::bench
