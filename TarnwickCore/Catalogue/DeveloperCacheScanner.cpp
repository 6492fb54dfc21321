#include "TarnwickCore/Catalogue/DeveloperCacheScanner.h"

#include "TarnwickCore/Catalogue/CacheLocation.h"
#include "TarnwickCore/Catalogue/CacheSizeMeasurer.h"
#include "TarnwickCore/Support/ScanErrors.h"

#include <array>
#include <span>

namespace tarnwick {
namespace {

using enum CleanableCategory;

// A folder whose entries are offered one by one, with the whole folder as
// the fallback when no entry occupies anything.
struct PerEntryFolder {
  std::string_view path; // relative to the home folder
  std::string_view parentName;
  std::string_view subtitlePrefix;
  bool isSelected;
  bool isSafeByDefault;
};

constexpr auto xcodePerEntryFolders = std::to_array<PerEntryFolder>({
    {"Library/Developer/Xcode/DerivedData", "Xcode DerivedData", "Xcode Build Cache", true, true},
    // Archives are needed to symbolicate crash reports of shipped builds.
    {"Library/Developer/Xcode/Archives", "Xcode Archives", "Application Archive", false, false},
    {"Library/Developer/Xcode/iOS DeviceSupport", "iOS Device Support", "Legacy Symbols & Debug Cache", true, true},
    {"Library/Developer/Xcode/watchOS DeviceSupport", "watchOS Device Support", "Legacy Watch Symbols", true, true},
});

constexpr auto xcodeLocations = std::to_array<CacheLocation>({
    {"Library/Caches/com.apple.dt.Xcode", "Xcode Cache (com.apple.dt.Xcode)",
     "Intermediate compiler index and tool caches"},
    {"Library/Developer/CoreSimulator/Caches", "CoreSimulator Caches", "Simulator runtime caches and temporary files"},
});

constexpr auto packageManagerLocations = std::to_array<CacheLocation>({
    {"Library/Caches/Homebrew", "Homebrew Cache", "Downloaded bottle binaries and source tarballs"},
    {"/opt/homebrew/Library/Caches", "Homebrew System Bottle Cache", "Apple Silicon system-wide Homebrew downloads"},
    {"Library/Caches/CocoaPods", "CocoaPods Cache", "Downloaded specs and prebuilt pod tarballs"},
    {"Library/Caches/org.swift.swiftpm", "Swift Package Manager Cache", "Cloned git repositories and artifact downloads"},
    {".npm/_cacache", "npm Global Cache", "Node package tarballs and index cache"},
    {".npm/_npx", "npx Packages", "Packages fetched to run a command once"},
    {"Library/Caches/npm", "npm Library Cache", "Secondary npm cache store"},
    {"Library/Caches/Yarn", "Yarn Cache", "Downloaded Yarn package archives"},
    {"Library/pnpm/store", "pnpm Store", "Content-addressable package storage"},
    {".cargo/registry/cache", "Cargo Crate Cache", "Downloaded Rust crate archives"},
    {"Library/Caches/pip", "pip Wheel Cache", "Cached Python wheel distributions"},
    {".cache/pip", "pip User Cache (.cache/pip)", "Downloaded Python package wheels"},
});

// Linux locations of language tool chains, build caches and the browsers
// that test runners download; all rebuilt or fetched again on demand.
constexpr auto linuxDeveloperLocations = std::to_array<CacheLocation>({
    {".cache/yarn", "Yarn Cache (XDG)", "Downloaded Yarn package archives"},
    {".cache/go-build", "Go Build Cache", "Compiled Go package objects"},
    // Read-only sources of every module a Go build used: a build offline
    // fails until they are fetched again.
    {"go/pkg/mod", "Go Module Cache", "Downloaded Go module sources", false, false},
    {".cache/pnpm", "pnpm Cache", "Package metadata and tarballs"},
    {".gradle/caches", "Gradle Caches", "Downloaded dependencies and build outputs"},
    {".gradle/wrapper/dists", "Gradle Wrapper Distributions", "Gradle versions downloaded by project wrappers"},
    {".m2/wrapper/dists", "Maven Wrapper Distributions", "Maven versions downloaded by project wrappers"},
    // Artifacts installed with `mvn install` exist nowhere else.
    {".m2/repository", "Maven Local Repository", "Downloaded artifacts, and those installed locally", false, false},
    {".cache/JetBrains", "JetBrains IDE Caches", "Indexes and logs of JetBrains IDEs"},
    {".cargo/registry/src", "Cargo Crate Sources", "Unpacked sources of downloaded crates"},
    {".cargo/registry/index", "Cargo Registry Index", "Local copy of the crates.io index"},
    {".cargo/git", "Cargo Git Checkouts", "Git dependencies cloned by Cargo"},
    {".conda/pkgs", "Conda Package Cache", "Downloaded and unpacked conda packages"},
    {"miniconda3/pkgs", "Miniconda Package Cache", "Downloaded and unpacked conda packages"},
    {"anaconda3/pkgs", "Anaconda Package Cache", "Downloaded and unpacked conda packages"},
    {"miniforge3/pkgs", "Miniforge Package Cache", "Downloaded and unpacked conda packages"},
    {"mambaforge/pkgs", "Mambaforge Package Cache", "Downloaded and unpacked conda packages"},
    {"micromamba/pkgs", "Micromamba Package Cache", "Downloaded and unpacked conda packages"},
    {".cache/uv", "uv Cache", "Python wheels, sources and interpreters fetched by uv"},
    {".cache/pypoetry", "Poetry Cache", "Package archives and virtual environments of Poetry"},
    {".cache/pre-commit", "pre-commit Environments", "Hook repositories and their environments"},
    {".cache/node-gyp", "node-gyp Headers", "Node.js headers for building native modules"},
    {".bun/install/cache", "Bun Package Cache", "Downloaded npm packages"},
    {".cache/deno", "Deno Cache", "Remote modules and compiled code"},
    {".nuget/packages", "NuGet Packages", "Restored .NET packages"},
    {".cache/bazel", "Bazel Cache", "Output bases and the repository cache"},
    {".cache/ccache", "ccache", "Compiled C and C++ objects"},
    {".ccache", "ccache (legacy folder)", "Compiled C and C++ objects"},
    {".cache/sccache", "sccache", "Compiled objects of Rust, C and C++ builds"},
    {".cache/ms-playwright", "Playwright Browsers", "Browsers downloaded for Playwright tests"},
    {".cache/puppeteer", "Puppeteer Browsers", "Browsers downloaded for Puppeteer"},
    {".cache/Cypress", "Cypress Binaries", "Cypress test runner downloads"},
    {".cache/electron", "Electron Downloads", "Electron releases fetched by build tools"},
});

constexpr auto containerLocations = std::to_array<CacheLocation>({
    {"Library/Containers/com.docker.docker/Data/cache", "Docker Desktop Cache",
     "Temporary build caches and engine staging"},
    {"Library/Containers/com.docker.docker/Data/log", "Docker Desktop Logs", "Daemon and container console logs"},
    {".docker/buildx/cache", "Docker Buildx Cache", "Multi-architecture builder cache"},
    {".orbstack/log", "OrbStack Logs", "OrbStack virtual machine daemon logs"},
    {"Library/Caches/dev.kdrag0n.MacVirt", "OrbStack VM Cache", "OrbStack VM runtime and network caches"},
});

constexpr auto localAiLocations = std::to_array<CacheLocation>({
    {".ollama/logs", "Ollama Runner Logs", "Local LLM inference server logs"},
    {"Library/Caches/ollama", "Ollama Server Cache", "Model runner temporary blobs and shards"},
    {"Library/Caches/com.electron.ollama", "Ollama Desktop App Cache", "Electron UI cache and web storage"},
    {".lmstudio/server-logs", "LM Studio Server Logs", "Local inference API and model loading logs"},
    // Linux locations. Models are large and slow to download again, so they
    // are only offered, never preselected.
    {".cache/huggingface/hub", "Hugging Face Hub Cache", "Downloaded model and dataset files", false, false},
    {".cache/torch", "PyTorch Hub Cache", "Downloaded models and checkpoints", false, false},
    {".ollama/models", "Ollama Models", "Downloaded language models", false, false},
});

struct Group {
  CleanableCategory category;
  std::span<const PerEntryFolder> perEntryFolders;
  std::span<const CacheLocation> locations;
};

constexpr auto groups = std::to_array<Group>({
    {xcodeJunk, xcodePerEntryFolders, xcodeLocations},
    {brewAndPackages, {}, packageManagerLocations},
    {brewAndPackages, {}, linuxDeveloperLocations},
    {dockerAndVMs, {}, containerLocations},
    {aiModelsAndLogs, {}, localAiLocations},
});

// Each visible entry of the folder with a size becomes an item; when none
// has one, the whole folder (hidden entries included) is the fallback. A
// folder that is absent, a link, or cannot be listed gives nothing at all.
void appendPerEntryItems(const std::string &homeDirectory, const PerEntryFolder &folder,
                         CleanableCategory category, std::vector<MeasuredCacheItem> &items, std::stop_token stop) {
  const std::string path = homeDirectory + "/" + std::string(folder.path);
  const auto names = CacheSizeMeasurer::visibleEntryNames(path);
  if (!names)
    return;
  auto itemAt = [&](std::string itemPath, std::string_view name, std::string subtitle) {
    CleanableItem item;
    item.name = name;
    item.subtitle = std::move(subtitle);
    item.path = std::move(itemPath);
    item.category = category;
    item.isSelected = folder.isSelected;
    item.isSafeByDefault = folder.isSafeByDefault;
    return measuredItem(std::move(item), {}, stop);
  };
  const std::string entrySubtitle =
      std::string(folder.subtitlePrefix) + " (" + std::string(folder.parentName) + ")";
  bool offeredAny = false;
  for (const std::string &name : *names) {
    if (auto item = itemAt(path + "/" + name, name, entrySubtitle)) {
      items.push_back(std::move(*item));
      offeredAny = true;
    }
  }
  if (!offeredAny)
    if (auto item = itemAt(path, folder.parentName, std::string(folder.subtitlePrefix)))
      items.push_back(std::move(*item));
}

} // namespace

DeveloperCacheScanner::DeveloperCacheScanner(std::string homeDirectory)
    : homeDirectory_(std::move(homeDirectory)) {}

std::vector<MeasuredCacheItem> DeveloperCacheScanner::measureItems(std::stop_token stop) const {
  std::vector<MeasuredCacheItem> items;
  for (const Group &group : groups) {
    if (stop.stop_requested())
      throw ScanCancelledError();
    for (const PerEntryFolder &folder : group.perEntryFolders)
      appendPerEntryItems(homeDirectory_, folder, group.category, items, stop);
    for (const CacheLocation &location : group.locations)
      if (auto item = measuredItem(location.itemIn(homeDirectory_, group.category), {}, stop))
        items.push_back(std::move(*item));
  }
  return items;
}

std::vector<std::string_view> DeveloperCacheScanner::locationPaths() {
  std::vector<std::string_view> paths;
  for (const Group &group : groups) {
    for (const PerEntryFolder &folder : group.perEntryFolders)
      paths.push_back(folder.path);
    for (const CacheLocation &location : group.locations)
      paths.push_back(location.path);
  }
  return paths;
}

std::vector<CleanableItem> DeveloperCacheScanner::scan(std::stop_token stop) const {
  return settleSizes(measureItems(std::move(stop)));
}

} // namespace tarnwick
