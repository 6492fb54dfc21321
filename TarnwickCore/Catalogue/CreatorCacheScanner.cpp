#include "TarnwickCore/Catalogue/CreatorCacheScanner.h"

#include "TarnwickCore/Catalogue/CacheLocation.h"
#include "TarnwickCore/Catalogue/CacheSizeMeasurer.h"
#include "TarnwickCore/Support/PathJoin.h"
#include "TarnwickCore/Support/ScanErrors.h"

#include <algorithm>
#include <array>
#include <variant>

namespace tarnwick {
namespace {

using enum CleanableCategory;

// Sorted at compile time so a lookup needs no allocation: the measurer asks
// once per entry below every browser location.
// Session state of browsers and mail clients: cookies, logins, keys,
// history, open sessions, site storage. Sorted at compile time so a lookup
// needs no allocation: the measurer asks once per entry below every
// browser location.
constexpr auto protectedSessionNames = [] {
  std::array<std::string_view, 58> names = {
      "account web data",   "autofill",           "bookmarks",           "cert9.db",
      "cookies",            "cookies.sqlite",     "current session",     "current tabs",
      "extension cookies",  "favicons",           "favicons.sqlite",     "formhistory.sqlite",
      "history",            "indexeddb",          "key4.db",             "keychain",
      "last session",       "last tabs",          "local extension settings", "local state",
      "local storage",      "login data",         "login data for account", "logins.json",
      "network persistent state", "permissions.sqlite", "places.sqlite", "preferences",
      "secure preferences", "session storage",    "sessions",            "sessionstore-backups",
      "sessionstore.jsonlz4", "shortcuts",        "signons.sqlite",      "storage.sqlite",
      "sync data",          "tokens.dat",         "top sites",           "trust tokens",
      "visited links",      "web data",           "webappsstore.sqlite", "prefs.js",
      "logins-backup.json", "key3.db",            "cert8.db",            "signedinuser.json",
      // The rest of a Firefox profile that would be missed if it ever sat
      // beside a cache: form data, bookmarks, site storage, trust settings.
      "autofill-profiles.json", "bookmarkbackups", "storage",            "cert_override.txt",
      "user.js",            "containers.json",    "extensions.json",     "handlers.json",
      "xulstore.json",      "sitesecurityservicestate.txt",
  };
  std::ranges::sort(names);
  return names;
}();
static_assert(std::ranges::adjacent_find(protectedSessionNames) == protectedSessionNames.end());

// SQLite keeps a database's latest writes beside it: separated from its
// journal or write-ahead log, a kept database can lose committed data.
// A copy the browser set aside as damaged is kept with it too.
constexpr std::array<std::string_view, 4> databaseCompanionSuffixes = {"-journal", "-wal", "-shm", ".corrupt"};

constexpr std::size_t longestProtectedName =
    std::ranges::max(protectedSessionNames, {}, &std::string_view::size).size();

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

struct ChromiumSubCache {
  std::string_view path;
  std::string_view label;
  std::string_view subtitle;
};
constexpr auto chromiumSubCaches = std::to_array<ChromiumSubCache>({
    {"Service Worker/CacheStorage", "Service Worker Cache", "Progressive web app assets and worker offline caches"},
    {"GPUCache", "GPU Shader Cache", "Compiled OpenGL and Metal shaders for browser rendering"},
    {"Code Cache", "V8 Code Cache", "Compiled JavaScript bytecode for frequently loaded sites"},
});

using BrowserStep = std::variant<CacheLocation, ChromiumProfile>;
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
    CacheLocation{".cache/mozilla/firefox", "Firefox Cache (XDG)", "Page cache and offline script caches"},
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

  void chromiumProfile(const ChromiumProfile &profile) {
    const std::string base = home_ + "/" + std::string(profile.path);
    for (const ChromiumSubCache &sub : chromiumSubCaches)
      item(offer(std::string(profile.browserName) + " " + std::string(sub.label), sub.subtitle,
                 base + "/" + std::string(sub.path), browserBloat));
  }

private:
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
  for (const BrowserStep &step : browserSteps) {
    if (const auto *location = std::get_if<CacheLocation>(&step))
      collect.location(*location, browserBloat);
    else
      collect.chromiumProfile(std::get<ChromiumProfile>(step));
  }
  return items;
}

std::vector<CleanableItem> CreatorCacheScanner::scan(std::stop_token stop) const {
  return settleSizes(measureItems(std::move(stop)));
}

bool CreatorCacheScanner::isProtectedSessionName(std::string_view name) {
  name = lastPathComponent(name);
  for (std::string_view suffix : databaseCompanionSuffixes) {
    // Compared case-blind like the names: "History-Journal" too.
    if (name.size() > suffix.size() &&
        std::ranges::equal(name.substr(name.size() - suffix.size()), suffix, {}, lowerAscii)) {
      name.remove_suffix(suffix.size());
      break;
    }
  }
  if (name.size() > longestProtectedName)
    return false;
  char lowered[longestProtectedName];
  std::ranges::transform(name, lowered, lowerAscii);
  return std::ranges::binary_search(protectedSessionNames, std::string_view(lowered, name.size()));
}

const std::set<std::string> &CreatorCacheScanner::strictlyProtectedSessionFilenames() {
  // A function-local static: initialised once, safely across threads.
  static const std::set<std::string> names = [] {
    std::set<std::string> all(protectedSessionNames.begin(), protectedSessionNames.end());
    for (std::string_view name : protectedSessionNames)
      for (std::string_view suffix : databaseCompanionSuffixes)
        all.insert(std::string(name) + std::string(suffix));
    return all;
  }();
  return names;
}

} // namespace tarnwick
