// Times the two cache scanners together against `du -s` over the same
// folders, on warm caches, in a generated home folder of 200,000 cache files.
//
// usage: quillane-bench-caches [--projects] [--home DIR] [--runs N]
//
// With --projects it times the project artefact walk instead, over a
// generated home of 500,000 entries (default
// /tmp/quillane-bench-projects-home), against a limit of 2 s.
//
// The home folder (default /tmp/quillane-bench-caches-home) is generated
// once and reused while its marker file matches; a non-empty folder without
// the marker is refused. du is given exactly the paths of the items the
// scanners found, so both read the same folders. Exit status: 0 when the
// scanners' median is within 1.5 × du's, 1 when not, 2 for usage or setup
// errors.
#include "TarnwickCore/Catalogue/CreatorCacheScanner.h"
#include "TarnwickCore/Catalogue/DeveloperCacheScanner.h"
#include "TarnwickCore/Catalogue/ProjectArtefactFinder.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

using namespace tarnwick;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

constexpr double ratioLimit = 1.5;

// Files of one catalogue location: `files` files spread evenly over
// fanout^levels leaf folders (named by hex digits) below location/inner,
// the shapes real caches have (flat, 00..ff buckets, nested hashes).
struct Plan {
  const char *location;
  const char *inner;
  int files;
  int fanout;
  int levels;
};

// No packages (".app", ".framework" …) anywhere: the scanners do not enter
// them and du would, which would compare different work.
constexpr auto plans = std::to_array<Plan>({
    // Developer caches.
    {"Library/Developer/Xcode/DerivedData/Quill-abfqzthxkeiwlsgbhcvmnlopqrst",
     "Build/Intermediates.noindex/Quill.build/Debug-iphonesimulator/Quill.build/Objects-normal/arm64", 20000, 16, 1},
    {"Library/Developer/Xcode/DerivedData/Tarn-cdyyepwqmlkzhpfhsmfgunagvqle", "Index.noindex/DataStore/v5/records",
     15000, 256, 1},
    {"Library/Developer/Xcode/Archives/2024-05-01/Quill 5-1-24, 10.12.xcarchive", "dSYMs", 2000, 1, 0},
    {"Library/Developer/Xcode/iOS DeviceSupport/17.4 (21E213) arm64e", "Symbols/usr/lib/system", 8000, 8, 2},
    {"Library/Caches/com.apple.dt.Xcode", "", 3000, 16, 1},
    {".npm", "_cacache/content-v2/sha512", 23000, 64, 2},
    {".npm", "_cacache/index-v5", 10000, 64, 2},
    {"Library/Caches/Homebrew", "downloads", 2000, 1, 0},
    {".cargo/registry/cache", "index.crates.io-6f17d22bba15001f", 5000, 1, 0},
    {".cache/pip", "http-v2", 10000, 16, 3},
    {".cache/go-build", "", 20000, 256, 1},
    {".gradle/caches", "modules-2/files-2.1", 12000, 32, 2},
    {".cache/JetBrains", "IntelliJIdea2024.1/index", 8000, 20, 1},
    {".cache/yarn", "v6", 8000, 100, 1},
    {".docker/buildx/cache", "blobs/sha256", 2000, 16, 1},
    {".orbstack/log", "", 200, 1, 0},
    {".ollama/logs", "", 100, 1, 0},
    {".cache/huggingface/hub", "models--org--model/blobs", 300, 1, 0},
    // Creator and browser caches.
    {"Library/Application Support/Adobe/Common/Media Cache Files", "", 3000, 1, 0},
    {"Library/Caches/Adobe/After Effects", "Disk Cache", 2000, 10, 1},
    {"Movies/Trip.fcpbundle/Render Files", "HighQuality", 1500, 10, 1},
    {"Movies/Trip.fcpbundle/Analysis Files", "", 500, 1, 0},
    {"Movies/CacheClip", "", 2000, 10, 1},
    {".cache/google-chrome", "Default/Cache/Cache_Data", 15000, 1, 0},
    {"Library/Application Support/Google/Chrome/Default/Service Worker/CacheStorage", "", 6000, 16, 2},
    {"Library/Application Support/Google/Chrome/Default/GPUCache", "", 50, 1, 0},
    {"Library/Application Support/Google/Chrome/Default/Code Cache", "js", 4000, 1, 0},
    {".cache/mozilla/firefox", "abcd1234.default-release/cache2/entries", 8000, 1, 0},
    {".cache/chromium", "Default/Cache/Cache_Data", 5000, 1, 0},
    {"Library/Caches/com.spotify.client", "Data", 3000, 16, 2},
    {"Library/Application Support/discord/Code Cache", "js", 1350, 1, 0},
});

constexpr int totalFiles = [] {
  int total = 0;
  for (const Plan &plan : plans)
    total += plan.files;
  return total;
}();
static_assert(totalFiles == 200000);

constexpr const char *markerName = ".quillane-bench-caches";
const std::string markerText = "complete v1 files=" + std::to_string(totalFiles) + "\n";

std::uint64_t mix(std::uint64_t x) {
  x += 0x9e3779b97f4a7c15ULL;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

// Mostly under one block, one in ten up to four blocks.
std::size_t fileSize(std::uint64_t index) {
  std::uint64_t h = mix(index);
  return static_cast<std::size_t>(h % 10 == 0 ? 4096 + (h >> 8) % 12288 : 64 + (h >> 8) % 3936);
}

std::string readFile(const std::string &path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void generate(const std::string &home) {
  std::ofstream(home + "/" + markerName) << "incomplete\n";
  static const std::string data(16384, 'c');
  std::uint64_t serial = 0;
  for (const Plan &plan : plans) {
    std::string base = home + "/" + plan.location;
    if (*plan.inner)
      base += std::string("/") + plan.inner;
    int leaves = 1;
    for (int i = 0; i < plan.levels; ++i)
      leaves *= plan.fanout;
    for (int i = 0; i < plan.files; ++i, ++serial) {
      std::string folder = base;
      for (int level = 0, rest = i % leaves; level < plan.levels; ++level, rest /= plan.fanout) {
        char digits[8];
        std::snprintf(digits, sizeof digits, "/%02x", rest % plan.fanout);
        folder += digits;
      }
      if (i < leaves)
        fs::create_directories(folder);
      char name[32];
      std::snprintf(name, sizeof name, "/f%07llu.cache", static_cast<unsigned long long>(serial));
      const std::string path = folder + name;
      int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      std::size_t size = fileSize(serial);
      if (fd < 0 || ::write(fd, data.data(), size) != static_cast<ssize_t>(size)) {
        std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), std::strerror(errno));
        std::exit(2);
      }
      ::close(fd);
    }
  }
  // Session files the creator scanner must leave out; du counts them, a
  // negligible difference in work.
  for (const char *name : {"Cookies", "History", "Login Data"})
    std::ofstream(home + "/.cache/google-chrome/Default/" + name) << std::string(2048, 's');
  std::ofstream(home + "/" + markerName) << markerText;
}

// Generates the home folder unless a complete one of this layout is there.
bool prepareHome(const std::string &home) {
  std::error_code error;
  if (fs::exists(home, error)) {
    const std::string marker = home + "/" + markerName;
    if (readFile(marker) == markerText)
      return false;
    if (!fs::exists(marker) && !fs::is_empty(home, error)) {
      std::fprintf(stderr, "%s exists and was not made by this benchmark; remove it or pass --home\n", home.c_str());
      std::exit(2);
    }
    fs::remove_all(home);
  }
  fs::create_directories(home);
  generate(home);
  return true;
}

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double median(std::vector<double> values) {
  std::ranges::sort(values);
  std::size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Runs du with `arguments`; output and diagnostics go to /dev/null. Returns
// the wall time, or a negative value when du could not run or failed.
double timeDu(const std::vector<std::string> &arguments) {
  std::vector<char *> argv;
  argv.push_back(const_cast<char *>("du"));
  for (const std::string &argument : arguments)
    argv.push_back(const_cast<char *>(argument.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  Clock::time_point start = Clock::now();
  pid_t child;
  int spawned = ::posix_spawnp(&child, "du", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0)
    return -1;
  int status = 0;
  ::waitpid(child, &status, 0);
  double seconds = secondsSince(start);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

std::string shellQuote(const std::string &text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'')
      quoted += "'\\''";
    else
      quoted += c;
  }
  quoted += '\'';
  return quoted;
}

// du's grand total in bytes over `paths` (its own blocks, hard links once,
// folders' own blocks included).
long long duTotalBytes(const std::vector<std::string> &paths) {
  std::string command = "du -s -c -B1";
  for (const std::string &path : paths) {
    command += ' ';
    command += shellQuote(path);
  }
  std::FILE *pipe = ::popen(command.c_str(), "r");
  if (!pipe)
    return -1;
  long long bytes = -1, value;
  char label[64];
  char line[8192];
  while (std::fgets(line, sizeof line, pipe))
    if (std::sscanf(line, "%lld\t%63s", &value, label) == 2 && std::strcmp(label, "total") == 0)
      bytes = value;
  ::pclose(pipe);
  return bytes;
}

std::vector<CleanableItem> scanBoth(const std::string &home) {
  std::vector<CleanableItem> items = DeveloperCacheScanner(home).scan();
  for (CleanableItem &item : CreatorCacheScanner(home).scan())
    items.push_back(std::move(item));
  return items;
}

} // namespace

// A home of projectEntries entries for the project walk: 200 Node.js
// projects (sources walked, node_modules found and not entered) and a
// documents tree with no project, all empty files.
constexpr int projectCount = 200;
constexpr int projectEntries = 500000;

void touchFiles(const std::string &folder, int count, const char *prefix) {
  fs::create_directories(folder);
  for (int i = 0; i < count; ++i)
    std::ofstream(folder + "/" + prefix + std::to_string(i));
}

// Each project: package.json, 20 source folders of 50 files, node_modules
// with 30 packages of 20 files: 1,651 entries. Documents: the rest, in
// folders of 100 files.
int generateProjects(const std::string &home) {
  int entries = 0;
  for (int p = 0; p < projectCount; ++p) {
    const std::string project = home + "/code/project" + std::to_string(p);
    touchFiles(project, 0, "");
    std::ofstream(project + "/package.json") << "{}";
    for (int d = 0; d < 20; ++d)
      touchFiles(project + "/src/module" + std::to_string(d), 50, "file");
    for (int d = 0; d < 30; ++d)
      touchFiles(project + "/node_modules/package" + std::to_string(d), 20, "file");
    entries += 1 + 1 + 1 + 20 * 51 + 1 + 30 * 21;
  }
  for (int d = 0; entries < projectEntries; ++d) {
    touchFiles(home + "/Documents/folder" + std::to_string(d / 100) + "/" + std::to_string(d), 100, "doc");
    entries += 101 + (d % 100 == 0);
  }
  std::ofstream(home + "/" + markerName) << "projects " << entries << "\n";
  return entries;
}

// Times the project walk alone (measuring the artefacts is the measurer's
// work, timed above): median of `runs` warm walks, against 2 s.
int benchProjects(const std::string &home, int runs) {
  Clock::time_point start = Clock::now();
  const bool reuse = fs::exists(home + "/" + markerName);
  if (!reuse && fs::exists(home) && !fs::is_empty(home)) {
    std::fprintf(stderr, "%s exists and was not made by this benchmark; remove it or pass --home\n", home.c_str());
    return 2;
  }
  if (!reuse)
    generateProjects(home);
  std::printf("project home %s: %s in %.1f s\n", home.c_str(), reuse ? "reused" : "generated", secondsSince(start));
  const ProjectArtefactFinder finder(home, {home});
  const std::size_t found = finder.find().size(); // warm-up
  std::vector<double> times;
  for (int run = 0; run < runs; ++run) {
    Clock::time_point walkStart = Clock::now();
    if (finder.find().size() != found)
      return 2;
    times.push_back(secondsSince(walkStart));
  }
  const double walkMedian = median(times);
  std::printf("project walk: %zu artefacts, median of %d: %.3f s (limit 2 s): %s\n", found, runs, walkMedian,
              walkMedian <= 2.0 ? "PASS" : "FAIL");
  return walkMedian <= 2.0 ? 0 : 1;
}

int main(int argc, char **argv) {
  std::string home = "/tmp/quillane-bench-caches-home";
  int runs = 7;
  bool projects = false;
  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i];
    if (option == "--projects") {
      projects = true;
      if (home == "/tmp/quillane-bench-caches-home")
        home = "/tmp/quillane-bench-projects-home";
    } else if (option == "--home" && i + 1 < argc) {
      home = argv[++i];
    } else if (option == "--runs" && i + 1 < argc) {
      runs = std::atoi(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: quillane-bench-caches [--projects] [--home DIR] [--runs N]\n");
      return 2;
    }
  }
  if (runs < 1 || home.empty() || home.front() != '/') {
    std::fprintf(stderr, "quillane-bench-caches: --runs must be positive and --home absolute\n");
    return 2;
  }
  if (projects)
    return benchProjects(home, runs);

  Clock::time_point start = Clock::now();
  bool generated = prepareHome(home);
  std::printf("fake home %s: %d cache files in %zu planted folders (%s in %.1f s)\n", home.c_str(), totalFiles,
              plans.size(), generated ? "generated" : "reused", secondsSince(start));

  // Warm-up: one scan (which also names the folders du gets) and one du.
  const std::vector<CleanableItem> items = scanBoth(home);
  std::vector<std::string> duArguments = {"-s"};
  long long scannedBytes = 0;
  for (const CleanableItem &item : items) {
    duArguments.push_back(item.path);
    scannedBytes += item.sizeBytes;
  }
  std::vector<std::string> paths(duArguments.begin() + 1, duArguments.end());
  if (timeDu(duArguments) < 0) {
    std::fprintf(stderr, "quillane-bench-caches: du failed or is missing\n");
    return 2;
  }

  // Alternating, so drift in the machine's load touches both alike.
  std::vector<double> scannerTimes, duTimes;
  for (int run = 0; run < runs; ++run) {
    Clock::time_point scanStart = Clock::now();
    std::size_t found = scanBoth(home).size();
    scannerTimes.push_back(secondsSince(scanStart));
    if (found != items.size()) {
      std::fprintf(stderr, "quillane-bench-caches: the scan found %zu items, then %zu\n", items.size(), found);
      return 2;
    }
    duTimes.push_back(timeDu(duArguments));
  }
  const double scannerMedian = median(scannerTimes);
  const double duMedian = median(duTimes);
  const double ratio = scannerMedian / duMedian;

  std::printf("scanners (developer + creator): %zu items, %.1f MiB, median of %d: %.3f s\n", items.size(),
              static_cast<double>(scannedBytes) / (1 << 20), runs, scannerMedian);
  std::printf("du -s over the same %zu folders: %.1f MiB (folders' own blocks included), median of %d: %.3f s\n",
              paths.size(), static_cast<double>(duTotalBytes(paths)) / (1 << 20), runs, duMedian);
  std::printf("ratio %.2f (limit %.2f): %s\n", ratio, ratioLimit, ratio <= ratioLimit ? "PASS" : "FAIL");
  return ratio <= ratioLimit ? 0 : 1;
}
