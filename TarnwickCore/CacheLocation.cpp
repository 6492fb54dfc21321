#include "TarnwickCore/CacheLocation.h"

#include "TarnwickCore/ScanErrors.h"

#include <algorithm>
#include <functional>

namespace tarnwick {

std::string CacheLocation::resolvedIn(const std::string &homeDirectory) const {
  if (path.starts_with('/'))
    return std::string(path);
  std::string resolved = homeDirectory;
  resolved += '/';
  resolved += path;
  return resolved;
}

std::optional<CleanableItem> CacheLocation::measureIn(const std::string &homeDirectory,
                                                      CleanableCategory category,
                                                      const CacheSizeMeasurer::NameFilter &isExcludedName,
                                                      std::stop_token stop) const {
  CleanableItem item;
  item.name = name;
  item.subtitle = subtitle;
  item.path = resolvedIn(homeDirectory);
  item.category = category;
  item.isSelected = isSelected;
  item.isSafeByDefault = isSafeByDefault;
  return measuredItem(std::move(item), isExcludedName, std::move(stop));
}

std::optional<CleanableItem> measuredItem(CleanableItem item, const CacheSizeMeasurer::NameFilter &isExcludedName,
                                          std::stop_token stop) {
  if (isExcludedName) {
    std::string_view path = item.path;
    auto slash = path.rfind('/');
    if (isExcludedName(slash == std::string_view::npos ? path : path.substr(slash + 1)))
      return std::nullopt;
  }
  item.sizeBytes = CacheSizeMeasurer::measure(item.path, isExcludedName, stop);
  if (stop.stop_requested())
    throw ScanCancelledError();
  if (item.sizeBytes <= 0)
    return std::nullopt;
  item.lastModified = CacheSizeMeasurer::modificationTime(item.path);
  item.id = Uuid::random();
  return item;
}

void sortLargestFirst(std::vector<CleanableItem> &items) {
  std::ranges::stable_sort(items, std::greater{}, &CleanableItem::sizeBytes);
}

} // namespace tarnwick
