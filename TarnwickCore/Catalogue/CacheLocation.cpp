#include "TarnwickCore/Catalogue/CacheLocation.h"

#include "TarnwickCore/Support/PathJoin.h"
#include "TarnwickCore/Support/ScanErrors.h"

namespace tarnwick {

std::string CacheLocation::resolvedIn(const std::string &homeDirectory) const {
  if (path.starts_with('/'))
    return std::string(path);
  std::string resolved = homeDirectory;
  resolved += '/';
  resolved += path;
  return resolved;
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
  if (!measurement.occupiesSpace())
    return std::nullopt;
  item.sizeBytes = measurement.freedBytes();
  item.lastModified = CacheSizeMeasurer::modificationTime(item.path);
  item.id = Uuid::random();
  return MeasuredCacheItem{std::move(item), std::move(measurement)};
}

} // namespace tarnwick
