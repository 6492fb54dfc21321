#include "TarnwickCore/Deletion/TrashBinItem.h"

#include "TarnwickCore/Support/ScanErrors.h"

#include <algorithm>

namespace tarnwick {

std::optional<CleanableItem> TrashBinItem::measure(const TrashCatalogue &trash, std::stop_token stop) {
  const TrashListing listing = trash.list(stop);
  if (listing.cancelled || stop.stop_requested())
    throw ScanCancelledError();
  if (listing.items.empty())
    return std::nullopt;
  CleanableItem item;
  item.id = Uuid::random();
  item.name = "Trash";
  item.subtitle = std::to_string(listing.items.size()) + (listing.items.size() == 1 ? " item" : " items") +
                  " deleted from the home folder and mounted disks; emptying cannot be undone";
  item.path = trash.homeTrash();
  item.sizeBytes = listing.totalBytes();
  item.category = CleanableCategory::trashBins;
  item.isSelected = false;
  item.isSafeByDefault = false;
  return item;
}

bool TrashBinItem::isTrashBin(const CleanableItem &item, const TrashCatalogue &trash) {
  return item.category == CleanableCategory::trashBins && item.path == trash.homeTrash();
}

std::vector<CleanableItem> TrashBinItem::withTrashBin(std::vector<CleanableItem> items, const TrashCatalogue &trash,
                                                      std::stop_token stop) {
  if (std::optional<CleanableItem> bin = measure(trash, std::move(stop))) {
    const auto at = std::ranges::find_if(items, [&](const CleanableItem &item) { return item.sizeBytes < bin->sizeBytes; });
    items.insert(at, std::move(*bin));
  }
  return items;
}

void TrashBinItem::empty(const TrashCatalogue &trash, const CleanableItem &item, SafeCleaningReport &report,
                         std::stop_token stop) {
  TrashEmptyReport emptied;
  try {
    const TrashListing listing = trash.list(stop);
    if (listing.cancelled)
      emptied.cancelled = true; // a partial listing is not what the user chose to empty
    else
      emptied = trash.empty(listing.items, {}, stop);
  } catch (const std::exception &failure) { // out of memory, say
    emptied.failures.emplace_back(item.path, failure.what());
  }
  report.freedBytes += emptied.freedBytes;
  if (!emptied.failures.empty()) {
    const auto &[path, why] = emptied.failures.front();
    std::string message = "cannot empty " + path + ": " + why;
    if (emptied.failures.size() > 1)
      message += " (and " + std::to_string(emptied.failures.size() - 1) + " more)";
    report.errors[item.path] = std::move(message);
  } else if (emptied.cancelled) {
    report.errors[item.path] = "emptying the Trash was stopped";
  } else {
    report.cleanedPaths.push_back(item.path);
  }
}

} // namespace tarnwick
