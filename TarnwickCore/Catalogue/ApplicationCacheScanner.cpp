#include "TarnwickCore/Catalogue/ApplicationCacheScanner.h"

#include "TarnwickCore/Catalogue/CacheLocation.h"
#include "TarnwickCore/Catalogue/CacheSizeMeasurer.h"
#include "TarnwickCore/Support/ScanErrors.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <span>

namespace tarnwick {
namespace {

using enum CleanableCategory;

// Caches of the desktop and of the graphics drivers, rebuilt as needed.
constexpr auto systemLocations = std::to_array<CacheLocation>({
    {".cache/thumbnails", "Thumbnails", "Previews of pictures and documents made by the desktop"},
    {".thumbnails", "Thumbnails (legacy folder)", "Previews made by older desktops"},
    {".cache/mesa_shader_cache", "Mesa Shader Cache", "Compiled GPU shaders of the Mesa drivers"},
    {".cache/mesa_shader_cache_db", "Mesa Shader Cache Database", "Compiled GPU shaders of the Mesa drivers"},
    {".cache/radv_builtin_shaders", "RADV Built-in Shaders", "Compiled shaders of the AMD Vulkan driver"},
    {".cache/nvidia/GLCache", "NVIDIA Shader Cache", "Compiled GPU shaders of the NVIDIA driver"},
    {".nv/GLCache", "NVIDIA Shader Cache (legacy folder)", "Compiled GPU shaders of the NVIDIA driver"},
});

constexpr auto applicationLocations = std::to_array<CacheLocation>({
    {".local/share/Steam/steamapps/shadercache", "Steam Shader Cache", "Shaders compiled for installed games"},
    {".cache/zoom", "Zoom Cache", "Cached meeting client data"},
});

struct Table {
  CleanableCategory category;
  std::span<const CacheLocation> locations;
};
constexpr auto tables = std::to_array<Table>({{systemJunk, systemLocations}, {userCache, applicationLocations}});

constexpr std::string_view cacheHome = ".cache";

// Credentials that tools keep in ~/.cache against the XDG rules: never
// offered (the deletion guard refuses them too).
constexpr auto credentialsInCacheHome = std::to_array<std::string_view>({
    ".cache/huggingface/token",
    ".cache/huggingface/stored_tokens",
});
// Entries of the cache folder that are no application's cache: the Trash
// of a cache folder on a disk of its own (.Trash-UID, or .Trash), and this
// program's remembered scans (ScanSnapshotStore::defaultFolder), which keep
// their own cap and which the window offers to reopen and compare.
bool isNeverOffered(std::string_view name) {
  return name == ".Trash" || name.starts_with(".Trash-") || name == "quillane";
}
// The tag that marks its folder as a cache for backup and archiving tools
// (the Cache Directory Tagging convention): no cache itself, and removing it
// would only make those tools copy the folder again.
constexpr std::string_view cacheFolderTag = "CACHEDIR.TAG";
constexpr std::string_view flatpakApps = ".var/app";
constexpr std::string_view snapApps = "snap";

void checkpoint(const std::stop_token &stop) {
  if (stop.stop_requested())
    throw ScanCancelledError();
}

double secondsNow() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

CleanableItem offer(std::string name, std::string subtitle, std::string path, bool isSelected) {
  CleanableItem item;
  item.name = std::move(name);
  item.subtitle = std::move(subtitle);
  item.path = std::move(path);
  item.category = userCache;
  item.isSelected = isSelected;
  item.isSafeByDefault = true;
  return item;
}

} // namespace

ApplicationCacheScanner::ApplicationCacheScanner(std::string homeDirectory, std::vector<std::string_view> claimedPaths)
    : homeDirectory_(std::move(homeDirectory)), claimed_(claimedPaths.begin(), claimedPaths.end()) {
  for (std::string_view own : locationPaths())
    claimed_.emplace(own);
}

std::vector<std::string_view> ApplicationCacheScanner::locationPaths() {
  std::vector<std::string_view> paths;
  for (const Table &table : tables)
    for (const CacheLocation &location : table.locations)
      paths.push_back(location.path);
  return paths;
}

std::vector<MeasuredCacheItem> ApplicationCacheScanner::measureItems(std::stop_token stop) const {
  std::vector<MeasuredCacheItem> items;
  checkpoint(stop);
  for (const Table &table : tables)
    for (const CacheLocation &location : table.locations)
      if (auto item = measuredItem(location.itemIn(homeDirectory_, table.category), {}, stop))
        items.push_back(std::move(*item));
  checkpoint(stop);
  appendSandboxedApps(items, stop);
  checkpoint(stop);
  appendUnclaimed(std::string(cacheHome), items, stop);
  return items;
}

void ApplicationCacheScanner::appendSandboxedApps(std::vector<MeasuredCacheItem> &items, std::stop_token stop) const {
  auto add = [&](std::string name, std::string subtitle, std::string path) {
    if (auto item = measuredItem(offer(std::move(name), std::move(subtitle), std::move(path), true), {}, stop))
      items.push_back(std::move(*item));
  };
  // Folders reached through a link are not the application's: the guard
  // would refuse them, so they give no item.
  const std::string flatpaks = homeDirectory_ + "/" + std::string(flatpakApps);
  if (auto apps = CacheSizeMeasurer::visibleEntryNames(flatpaks))
    for (const std::string &app : *apps)
      if (CacheSizeMeasurer::isDirectory(flatpaks + "/" + app))
        add(app, "Flatpak application cache", flatpaks + "/" + app + "/cache");
  // A snap keeps its cache in its own home, which is either shared by its
  // revisions ("common") or one per revision; "current" links to one.
  const std::string snaps = homeDirectory_ + "/" + std::string(snapApps);
  if (auto apps = CacheSizeMeasurer::visibleEntryNames(snaps))
    for (const std::string &app : *apps)
      if (auto homes = CacheSizeMeasurer::visibleEntryNames(snaps + "/" + app))
        for (const std::string &appHome : *homes) {
          const std::string folder = snaps + "/" + app + "/" + appHome;
          if (CacheSizeMeasurer::isDirectory(folder))
            add(app, appHome == "common" ? "Snap application cache" : "Snap application cache, revision " + appHome,
                folder + "/.cache");
        }
}

void ApplicationCacheScanner::appendUnclaimed(const std::string &relativeFolder, std::vector<MeasuredCacheItem> &items,
                                              std::stop_token stop) const {
  const std::string folder = pathInHome(homeDirectory_, relativeFolder);
  const auto names = CacheSizeMeasurer::entryNames(folder, true);
  if (!names)
    return;
  const double now = secondsNow();
  for (const std::string &name : *names) {
    const std::string relative = relativeFolder + "/" + name;
    if (claimed_.contains(relative) || std::ranges::find(credentialsInCacheHome, relative) != credentialsInCacheHome.end() ||
        name == cacheFolderTag || (relativeFolder == cacheHome && isNeverOffered(name)))
      continue;
    const std::string prefix = relative + "/";
    const auto next = claimed_.lower_bound(prefix);
    if (next != claimed_.end() && next->starts_with(prefix)) {
      appendUnclaimed(relative, items, stop); // some of it is another row's
      continue;
    }
    const std::string shown = relative.substr(cacheHome.size() + 1);
    auto item = measuredItem(offer(shown, {}, folder + "/" + name, false), {}, stop);
    if (!item)
      continue;
    // Its latest change: the entry itself, or any file in it.
    const double changed = std::max(item->item.lastModified.value_or(0.0),
                                    static_cast<double>(item->measurement.newestModification));
    item->item.isSelected = now - changed >= staleAfterSeconds;
    item->item.subtitle = item->item.isSelected ? "Application cache, unchanged for 30 days or more"
                                                : "Application cache, changed in the last 30 days";
    items.push_back(std::move(*item));
  }
}

} // namespace tarnwick
