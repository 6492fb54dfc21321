#pragma once

#include "TarnwickCore/Catalogue/CacheSizeSettlement.h"
#include "TarnwickCore/Catalogue/CleanableItem.h"

#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

/// Finds the build, package-manager, container and local-AI caches of one
/// home folder, as cleanable items.
///
/// Four groups, in this order: Xcode (xcodeJunk), package managers, build
/// caches and the browsers test tools download (brewAndPackages; the Linux
/// locations after the others), containers and virtual machines
/// (dockerAndVMs) and local AI (aiModelsAndLogs). Locations whose content
/// is slow or impossible to get back (Go module sources, the Maven local
/// repository, downloaded models) are offered unticked and unsafe. The Xcode group first offers the entries of
/// four folders one by one (each build, archive or device-support folder
/// is removed on its own), then every group checks its fixed locations,
/// each offered as a whole. Locations that are absent, links, or occupy
/// nothing give no item. Sizes come from CacheSizeMeasurer, settled by
/// settleSizes.
///
/// Threads: const and stateless apart from the home path; scans may run
/// concurrently.
class DeveloperCacheScanner {
public:
  explicit DeveloperCacheScanner(std::string homeDirectory);

  const std::string &homeDirectory() const { return homeDirectory_; }

  /// Every item found, in discovery order: group order, then table order,
  /// then name order within a per-entry folder. Their sizes are not settled
  /// yet, so that a caller can settle them together with other items.
  ///
  /// Throws ScanCancelledError when `stop` is requested: at the check made
  /// before each group (so a token stopped beforehand measures nothing),
  /// and within a group as soon as the location being walked notices it.
  /// Nothing partial is returned.
  std::vector<MeasuredCacheItem> measureItems(std::stop_token stop = {}) const;

  /// measureItems() settled on their own: largest first, equal sizes in
  /// discovery order.
  std::vector<CleanableItem> scan(std::stop_token stop = {}) const;

  /// Every location the tables name, relative to the home folder (or
  /// absolute), whether it exists or not.
  static std::vector<std::string_view> locationPaths();

private:
  std::string homeDirectory_;
};

} // namespace tarnwick
