#pragma once

#include "TarnwickCore/Catalogue/CacheSizeMeasurer.h"
#include "TarnwickCore/Catalogue/CacheSizeSettlement.h"
#include "TarnwickCore/Catalogue/CleanableItem.h"

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

/// One fixed place in the cache catalogue, offered as a whole, and how the
/// item found there reads. The cache scanners keep tables of these.
struct CacheLocation {
  /// Relative to the home folder (see pathInHome), or absolute when it
  /// starts with "/".
  std::string_view path;
  std::string_view name;
  std::string_view subtitle;
  bool isSelected = true;
  bool isSafeByDefault = true;

  std::string resolvedIn(const std::string &homeDirectory) const;

  /// The unmeasured item for this location below `homeDirectory`.
  CleanableItem itemIn(const std::string &homeDirectory, CleanableCategory category) const;
};

/// `relative` below `homeDirectory`, except that ".cache" and what lies in
/// it are in the home's cache folder (UserEnvironment::cacheHomeOf), which
/// $XDG_CACHE_HOME may put elsewhere; when that folder is a symbolic link,
/// in its real location (what the deletion guard judges it by).
std::string pathInHome(const std::string &homeDirectory, std::string_view relative);

/// Completes `item` for what is at item.path: its files from
/// CacheSizeMeasurer::survey, a provisional size (what cleaning it alone
/// frees; settleSizes gives the final one), its modification time and a
/// fresh random id. Nothing when the filter excludes the path's own last
/// component, or when the location holds nothing that occupies space
/// (which includes nothing being there).
/// Throws ScanCancelledError when `stop` was requested: a large cache can
/// take seconds to walk on a cold disk, and a cancel should not wait for it.
std::optional<MeasuredCacheItem> measuredItem(CleanableItem item,
                                              const CacheSizeMeasurer::NameFilter &isExcludedName = {},
                                              std::stop_token stop = {});

} // namespace tarnwick
