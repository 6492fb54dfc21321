#include "TarnwickCore/Catalogue/CacheLocation.h"

#include "TarnwickCore/Support/PathJoin.h"
#include "TarnwickCore/Support/RealPath.h"
#include "TarnwickCore/Support/ScanErrors.h"
#include "TarnwickCore/Support/UserEnvironment.h"

#include <sys/stat.h>

namespace tarnwick {
namespace {

// The cache folder by its real location when it is a symbolic link (kept
// on another disk, say) or $XDG_CACHE_HOME names it through one: the
// deletion guard and the Trash refuse a path that reaches its parent
// through a link, so rows named through it could be listed but never
// cleaned. ~/.cache itself keeps its name, which the guard's allowlist
// knows, even when the home folder is reached through a link.
std::string cacheFolderOf(const std::string &homeDirectory) {
  std::string folder = UserEnvironment::cacheHomeOf(homeDirectory);
  std::string standard = homeDirectory;
  while (standard.size() > 1 && standard.back() == '/')
    standard.pop_back();
  appendPathComponent(standard, ".cache");
  struct stat st;
  if (folder != standard || (::lstat(folder.c_str(), &st) == 0 && S_ISLNK(st.st_mode)))
    if (std::optional<std::string> real = realPath(folder))
      return std::move(*real);
  return folder;
}

} // namespace

std::string pathInHome(const std::string &homeDirectory, std::string_view relative) {
  constexpr std::string_view cacheFolder = ".cache";
  if (relative == cacheFolder || relative.starts_with(".cache/")) {
    std::string resolved = cacheFolderOf(homeDirectory);
    resolved += relative.substr(cacheFolder.size());
    return resolved;
  }
  std::string resolved = homeDirectory;
  appendPathComponent(resolved, relative);
  return resolved;
}

std::string CacheLocation::resolvedIn(const std::string &homeDirectory) const {
  if (path.starts_with('/'))
    return std::string(path);
  return pathInHome(homeDirectory, path);
}

CleanableItem CacheLocation::itemIn(const std::string &homeDirectory, CleanableCategory category) const {
  CleanableItem item;
  item.name = name;
  item.subtitle = subtitle;
  item.path = resolvedIn(homeDirectory);
  item.category = category;
  item.isSelected = isSelected;
  item.isSafeByDefault = isSafeByDefault;
  return item;
}

std::optional<MeasuredCacheItem> measuredItem(CleanableItem item, const CacheSizeMeasurer::NameFilter &isExcludedName,
                                              std::stop_token stop) {
  if (isExcludedName && isExcludedName(lastPathComponent(item.path)))
    return std::nullopt;
  CacheMeasurement measurement = CacheSizeMeasurer::survey(item.path, isExcludedName, stop);
  if (stop.stop_requested())
    throw ScanCancelledError();
  if (!measurement.holdsFileData())
    return std::nullopt;
  item.sizeBytes = measurement.freedBytes();
  item.lastModified = CacheSizeMeasurer::modificationTime(item.path);
  item.id = Uuid::random();
  return MeasuredCacheItem{std::move(item), std::move(measurement)};
}

} // namespace tarnwick
