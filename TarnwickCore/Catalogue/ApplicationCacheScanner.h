#pragma once

#include "TarnwickCore/Catalogue/CacheSizeSettlement.h"

#include <set>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

/// Finds the caches of the desktop and of applications in one home folder,
/// as cleanable items, in this order:
/// - fixed locations of the desktop and the graphics drivers (thumbnails,
///   shader caches: systemJunk) and of applications (userCache);
/// - each Flatpak application's ~/.var/app/ID/cache, named by its id, and
///   each snap application's ~/snap/APP/common/.cache and
///   ~/snap/APP/REVISION/.cache, named by the snap (userCache);
/// - every entry of ~/.cache that no row of the catalogue claims, by its
///   name there (userCache). The XDG base-directory rules make that folder
///   non-essential data, so nothing in it goes unreported; such an entry is
///   ticked only when nothing in it changed for staleAfterSeconds, since an
///   application may be using it.
///
/// Every item is safe by default; the fixed and sandboxed ones are ticked.
/// Links are never followed, and give no item.
///
/// Threads: const and stateless apart from its settings; scans may run
/// concurrently.
class ApplicationCacheScanner {
public:
  /// How long an unclaimed entry of ~/.cache must be left alone, counted
  /// from its latest change, before it is ticked by default: 30 days.
  static constexpr double staleAfterSeconds = 30.0 * 24 * 60 * 60;

  /// `claimedPaths`: the other scanners' locations, relative to the home
  /// folder. An entry of ~/.cache that one of them names is theirs; one
  /// that holds some is looked into, entry by entry, the same way.
  ApplicationCacheScanner(std::string homeDirectory, std::vector<std::string_view> claimedPaths);

  /// Every item found, in the order above (table order, then name order).
  /// Their sizes are not settled yet (see settleSizes). Throws
  /// ScanCancelledError once `stop` is requested; nothing partial is
  /// returned.
  std::vector<MeasuredCacheItem> measureItems(std::stop_token stop = {}) const;

  /// The fixed locations of its own tables, relative to the home folder.
  static std::vector<std::string_view> locationPaths();

private:
  void appendSandboxedApps(std::vector<MeasuredCacheItem> &items, std::stop_token stop) const;
  void appendUnclaimed(const std::string &relativeFolder, std::vector<MeasuredCacheItem> &items,
                       std::stop_token stop) const;

  std::string homeDirectory_;
  std::set<std::string, std::less<>> claimed_;
};

} // namespace tarnwick
