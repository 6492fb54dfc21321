#include "TarnwickCore/Catalogue/CreatorCacheScanner.h"

#include "TarnwickCore/Catalogue/CacheLocation.h"
#include "TarnwickCore/Catalogue/CacheSizeMeasurer.h"
#include "TarnwickCore/Support/PathJoin.h"
#include "TarnwickCore/Support/ScanErrors.h"

#include <algorithm>
#include <array>
#include <type_traits>
#include <variant>

namespace tarnwick {
namespace {

using enum CleanableCategory;

constexpr auto adobeLocations = std::to_array<CacheLocation>({
    {"Library/Application Support/Adobe/Common/Media Cache Files", "Adobe Media Cache Files (CFA / Peak)",
     "Conformed audio waveforms and preview media"},
    {"Library/Application Support/Adobe/Common/Media Cache", "Adobe Media Cache Database",
     "Conformed media indexes and index files"},
    {"Library/Application Support/Adobe/Common/Peak Files", "Adobe Peak Files",
     "Generated audio waveform peak visualizers"},
    {"Library/Caches/Adobe/After Effects", "After Effects Disk Cache", "RAM preview and rendered frame disk cache"},
    {"Library/Caches/Adobe/Premiere Pro", "Premiere Pro Scratch Cache", "Timeline scratch files and sequence previews"},
});

constexpr CacheLocation finalCutAppCaches = {"Library/Containers/com.apple.FinalCut/Data/Library/Caches",
                                             "Final Cut Pro App Caches",
                                             "Optical flow, stabilization and playback caches"};

// Sub-folders of a Final Cut library that the app regenerates.
struct LibrarySubFolder {
  std::string_view folder;
  std::string_view subtitle;
};
constexpr auto finalCutLibrarySubFolders = std::to_array<LibrarySubFolder>({
    {"Render Files", "FCP Library Pre-rendered Timeline Media"},
    {"Analysis Files", "FCP Optical Flow and Stabilization Analysis"},
});

constexpr auto resolveLocations = std::to_array<CacheLocation>({
    {"Movies/CacheClip", "DaVinci Resolve CacheClip (Movies)", "Optimized media, proxy files and render cache"},
    {"Library/Application Support/Blackmagic Design/DaVinci Resolve/CacheClip",
     "DaVinci Resolve CacheClip (App Support)", "Project-level timeline render caches"},
    {"Movies/.gallery", "DaVinci Resolve Stills Gallery (.gallery)", "Color grade still image previews"},
});

// A Chromium-family profile folder: only its sub-caches are offered.
struct ChromiumProfile {
  std::string_view path;
  std::string_view browserName;
};

// A Chromium-family data folder on Linux: its own shader caches and those of
// each profile in it ("Default", "Profile 1"…), never the profiles.
struct ChromiumUserData {
  std::string_view path;
  std::string_view browserName;
};

// An Electron application's data folder, laid out like one profile.
struct ElectronApp {
  std::string_view path;
  std::string_view appName;
};

// Every one of them is a folder that the guard keeps cleanable inside a
// settings tree (ProtectedLocations' cache folder names).
struct ChromiumSubCache {
  std::string_view path;
  std::string_view label;
  std::string_view subtitle;
};
constexpr auto chromiumSubCaches = std::to_array<ChromiumSubCache>({
    {"Service Worker/CacheStorage", "Service Worker Cache", "Progressive web app assets and worker offline caches"},
    {"Service Worker/ScriptCache", "Service Worker Script Cache", "Compiled scripts of service workers"},
    {"GPUCache", "GPU Shader Cache", "Compiled OpenGL and Metal shaders for browser rendering"},
    {"Code Cache", "V8 Code Cache", "Compiled JavaScript bytecode for frequently loaded sites"},
    {"Cache", "HTTP Cache", "Cached web page assets and media files"},
    {"CachedData", "Compiled Code Cache", "Compiled JavaScript of the application itself"},
    {"CachedExtensionVSIXs", "Extension Downloads", "Downloaded extension packages"},
    {"DawnCache", "WebGPU Cache", "Compiled WebGPU shaders"},
    {"GrShaderCache", "Skia Shader Cache", "Compiled shaders of the 2D renderer"},
    {"ShaderCache", "Shader Cache", "Compiled GPU shaders"},
});

using BrowserStep = std::variant<CacheLocation, ChromiumProfile, ChromiumUserData, ElectronApp>;
constexpr auto browserSteps = std::to_array<BrowserStep>({
    CacheLocation{"Library/Caches/Google/Chrome", "Google Chrome Cache", "Cached web page assets and media files"},
    ChromiumProfile{"Library/Application Support/Google/Chrome/Default", "Google Chrome"},
    CacheLocation{"Library/Caches/BraveSoftware/Brave-Browser", "Brave Browser Cache",
                  "Cached web page images and scripts"},
    ChromiumProfile{"Library/Application Support/BraveSoftware/Brave-Browser/Default", "Brave Browser"},
    CacheLocation{"Library/Caches/company.thebrowser.Browser", "Arc Browser Cache",
                  "Arc web cache and rendering engine artifacts"},
    CacheLocation{"Library/Caches/Firefox/Profiles", "Firefox Profile Caches", "Page cache and offline script caches"},
    CacheLocation{"Library/Caches/com.tinyspeck.slackmacgap", "Slack App Cache",
                  "Team avatars, uploaded files and message media"},
    CacheLocation{"Library/Application Support/Slack/Service Worker/CacheStorage", "Slack Service Worker Cache",
                  "Offline web workers and client assets"},
    CacheLocation{"Library/Caches/com.hnc.Discord", "Discord App Cache",
                  "Voice/chat media, stickers and cached attachments"},
    CacheLocation{"Library/Application Support/discord/Code Cache", "Discord V8 Code Cache",
                  "Pre-compiled JavaScript bytecode cache"},
    CacheLocation{"Library/Caches/com.spotify.client", "Spotify Client Cache", "Album artwork and offline audio buffers"},
    // Linux locations.
    CacheLocation{".cache/google-chrome", "Google Chrome Cache (XDG)", "Cached web page assets and media files"},
    CacheLocation{".cache/chromium", "Chromium Cache", "Cached web page assets and media files"},
    CacheLocation{".cache/BraveSoftware", "Brave Browser Cache (XDG)", "Cached web page images and scripts"},
    CacheLocation{".cache/microsoft-edge", "Microsoft Edge Cache (XDG)", "Cached web page assets and media files"},
    CacheLocation{".cache/vivaldi", "Vivaldi Cache (XDG)", "Cached web page assets and media files"},
    CacheLocation{".cache/mozilla/firefox", "Firefox Cache (XDG)", "Page cache and offline script caches"},
    CacheLocation{".cache/spotify", "Spotify Cache", "Album artwork and streamed audio"},
    ChromiumUserData{".config/google-chrome", "Google Chrome"},
    ChromiumUserData{".config/chromium", "Chromium"},
    ChromiumUserData{".config/BraveSoftware/Brave-Browser", "Brave Browser"},
    ChromiumUserData{".config/microsoft-edge", "Microsoft Edge"},
    ChromiumUserData{".config/vivaldi", "Vivaldi"},
    ChromiumUserData{"snap/chromium/common/chromium", "Chromium (snap)"},
    ElectronApp{".config/Code", "VS Code"},
    ElectronApp{".config/Code - Insiders", "VS Code Insiders"},
    ElectronApp{".config/Code - OSS", "Code - OSS"},
    ElectronApp{".config/VSCodium", "VSCodium"},
    ElectronApp{".config/Cursor", "Cursor"},
    CacheLocation{".vscode-server/data/CachedExtensionVSIXs", "VS Code Server Extension Downloads",
                  "Extension packages downloaded by the remote server"},
    ElectronApp{".config/Slack", "Slack"},
    ElectronApp{".config/discord", "Discord"},
    ElectronApp{".config/Microsoft/Microsoft Teams", "Microsoft Teams"},
    ElectronApp{".config/teams-for-linux", "Teams for Linux"},
    ElectronApp{".config/Signal", "Signal"},
    ElectronApp{".config/Element", "Element"},
    ElectronApp{".config/obsidian", "Obsidian"},
});

constexpr char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool equalsIgnoringAsciiCase(std::string_view text, std::string_view lowerCased) {
  return std::ranges::equal(text, lowerCased, {}, lowerAscii);
}

// Every item of this scanner is selected and safe by default.
CleanableItem offer(std::string name, std::string_view subtitle, std::string path, CleanableCategory category) {
  CleanableItem item;
  item.name = std::move(name);
  item.subtitle = subtitle;
  item.path = std::move(path);
  item.category = category;
  item.isSelected = true;
  item.isSafeByDefault = true;
  return item;
}

// Every item is measured with the session-name filter, so every item names
// the same entries for cleaning to keep: what the size leaves out is what
// cleaning leaves in place.
class Collector {
public:
  Collector(const std::string &homeDirectory, std::vector<MeasuredCacheItem> &items, std::stop_token stop)
      : home_(homeDirectory), items_(items), stop_(std::move(stop)) {}

  void location(const CacheLocation &location, CleanableCategory category) {
    item(location.itemIn(home_, category));
  }

  void item(CleanableItem item) {
    const auto &kept = CreatorCacheScanner::strictlyProtectedSessionFilenames();
    item.keptEntryNames.assign(kept.begin(), kept.end());
    if (auto measured = measuredItem(std::move(item), isProtected_, stop_))
      items_.push_back(std::move(*measured));
  }

  // Libraries at the top level of ~/Movies only; their names keep their
  // case, their extension is matched in any case.
  void finalCutLibraries() {
    const std::string movies = home_ + "/Movies";
    const auto names = CacheSizeMeasurer::visibleEntryNames(movies);
    if (!names)
      return;
    for (const std::string &name : *names) {
      auto dot = name.rfind('.');
      if (dot == std::string::npos || !equalsIgnoringAsciiCase(std::string_view(name).substr(dot + 1), "fcpbundle"))
        continue;
      const std::string library = movies + "/" + name;
      // A link named like a library would lead the measurement elsewhere.
      if (!CacheSizeMeasurer::isDirectory(library))
        continue;
      const std::string libraryName = name.substr(0, dot);
      for (const LibrarySubFolder &sub : finalCutLibrarySubFolders)
        item(offer(libraryName + " " + std::string(sub.folder), sub.subtitle,
                   library + "/" + std::string(sub.folder), creatorCaches));
    }
  }

  void chromiumProfile(const ChromiumProfile &profile) { subCaches(home_ + "/" + std::string(profile.path), profile.browserName); }

  void electronApp(const ElectronApp &app) { subCaches(home_ + "/" + std::string(app.path), app.appName); }

  // The folder's own shader caches, then each profile's, "Default" first.
  void chromiumUserData(const ChromiumUserData &data) {
    const std::string base = home_ + "/" + std::string(data.path);
    subCaches(base, data.browserName);
    const auto names = CacheSizeMeasurer::visibleEntryNames(base);
    if (!names)
      return;
    subCaches(base + "/Default", data.browserName);
    for (const std::string &name : *names)
      if (name.starts_with("Profile ") && CacheSizeMeasurer::isDirectory(base + "/" + name))
        subCaches(base + "/" + name, std::string(data.browserName) + " (" + name + ")");
  }

  void step(const BrowserStep &step) {
    std::visit([this](const auto &row) {
      using Row = std::decay_t<decltype(row)>;
      if constexpr (std::is_same_v<Row, CacheLocation>)
        location(row, browserBloat);
      else if constexpr (std::is_same_v<Row, ChromiumProfile>)
        chromiumProfile(row);
      else if constexpr (std::is_same_v<Row, ChromiumUserData>)
        chromiumUserData(row);
      else
        electronApp(row);
    }, step);
  }

private:
  void subCaches(const std::string &base, std::string_view owner) {
    for (const ChromiumSubCache &sub : chromiumSubCaches)
      item(offer(std::string(owner) + " " + std::string(sub.label), sub.subtitle, base + "/" + std::string(sub.path),
                 browserBloat));
  }

  const std::string &home_;
  std::vector<MeasuredCacheItem> &items_;
  const std::stop_token stop_;
  const CacheSizeMeasurer::NameFilter isProtected_ = &CreatorCacheScanner::isProtectedSessionName;
};

} // namespace

CreatorCacheScanner::CreatorCacheScanner(std::string homeDirectory) : homeDirectory_(std::move(homeDirectory)) {}

std::vector<MeasuredCacheItem> CreatorCacheScanner::measureItems(std::stop_token stop) const {
  std::vector<MeasuredCacheItem> items;
  Collector collect(homeDirectory_, items, stop);
  auto checkpoint = [&] {
    if (stop.stop_requested())
      throw ScanCancelledError();
  };

  checkpoint();
  for (const CacheLocation &location : adobeLocations)
    collect.location(location, creatorCaches);

  checkpoint();
  collect.location(finalCutAppCaches, creatorCaches);
  collect.finalCutLibraries();

  checkpoint();
  for (const CacheLocation &location : resolveLocations)
    collect.location(location, creatorCaches);

  checkpoint();
  for (const BrowserStep &step : browserSteps)
    collect.step(step);
  return items;
}

std::vector<CleanableItem> CreatorCacheScanner::scan(std::stop_token stop) const {
  return settleSizes(measureItems(std::move(stop)));
}

std::vector<std::string_view> CreatorCacheScanner::locationPaths() {
  std::vector<std::string_view> paths;
  for (const CacheLocation &location : adobeLocations)
    paths.push_back(location.path);
  for (const CacheLocation &location : resolveLocations)
    paths.push_back(location.path);
  paths.push_back(finalCutAppCaches.path);
  for (const BrowserStep &step : browserSteps)
    std::visit([&paths](const auto &row) { paths.push_back(row.path); }, step);
  return paths;
}

} // namespace tarnwick
