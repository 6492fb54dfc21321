#include "TarnwickCore/Catalogue/CacheCatalogue.h"

#include "TarnwickCore/Catalogue/ApplicationCacheScanner.h"
#include "TarnwickCore/Catalogue/CacheLocation.h"
#include "TarnwickCore/Catalogue/CacheSizeSettlement.h"
#include "TarnwickCore/Catalogue/CreatorCacheScanner.h"
#include "TarnwickCore/Catalogue/DeveloperCacheScanner.h"
#include "TarnwickCore/Catalogue/ProjectArtefactFinder.h"

#include <exception>
#include <future>
#include <numeric>

namespace tarnwick {

std::vector<CleanableItem> CacheCatalogue::scan(const std::string &homeDirectory, std::stop_token stop) {
  // The creator catalogue reads folders of its own: measuring it at once
  // halves the wait on a cold cache and costs nothing on a warm one. Each
  // thread fills only its own list; the shared files are settled here,
  // after both have finished.
  auto creator = std::async(std::launch::async, [&homeDirectory, stop] {
    return CreatorCacheScanner(homeDirectory).measureItems(stop);
  });
  std::vector<MeasuredCacheItem> items;
  std::vector<MeasuredCacheItem> applicationItems;
  std::vector<MeasuredCacheItem> projectItems;
  std::exception_ptr failure;
  try {
    items = DeveloperCacheScanner(homeDirectory).measureItems(stop);
    std::vector<std::string_view> claimed = DeveloperCacheScanner::locationPaths();
    for (std::string_view path : CreatorCacheScanner::locationPaths())
      claimed.push_back(path);
    std::vector<std::string> claimedFolders;
    for (std::string_view path : claimed)
      claimedFolders.push_back(path.starts_with('/') ? std::string(path) : pathInHome(homeDirectory, path));
    applicationItems = ApplicationCacheScanner(homeDirectory, std::move(claimed)).measureItems(stop);
    projectItems = ProjectArtefactFinder(homeDirectory, {homeDirectory}, std::move(claimedFolders)).measureItems(stop);
  } catch (...) {
    failure = std::current_exception();
  }
  std::vector<MeasuredCacheItem> creatorItems = creator.get(); // joins; rethrows its own failure
  if (failure)
    std::rethrow_exception(failure);
  for (auto *more : {&creatorItems, &applicationItems, &projectItems})
    items.insert(items.end(), std::make_move_iterator(more->begin()), std::make_move_iterator(more->end()));
  return settleSizes(std::move(items));
}

std::vector<CleanableItem> CacheCatalogue::scanProjects(const std::string &homeDirectory, std::vector<std::string> roots,
                                                        std::stop_token stop) {
  return settleSizes(ProjectArtefactFinder(homeDirectory, std::move(roots)).measureItems(std::move(stop)));
}

std::int64_t CacheCatalogue::selectedBytes(const std::vector<CleanableItem> &items) {
  return std::accumulate(items.begin(), items.end(), std::int64_t{0},
                         [](std::int64_t sum, const CleanableItem &item) { return item.isSelected ? sum + item.sizeBytes : sum; });
}

} // namespace tarnwick
