#pragma once

#include "TarnwickCore/Deletion/TrashCatalogue.h"

#include <set>
#include <string>
#include <utility>

namespace tarnwick {

// The catalogue's items from trash folders below `root`: the machine's own
// trashes are listed too, and a test never acts on those.
inline TrashListing scratchListing(const TrashCatalogue &catalogue, const std::string &root) {
  TrashListing listing = catalogue.list();
  std::erase_if(listing.items, [&](const TrashedItem &item) { return !item.trashDirectory.starts_with(root + "/"); });
  return listing;
}

// The restorable items as trash-list shows them: (original path, date).
inline std::set<std::pair<std::string, std::string>> restorableItems(const TrashListing &listing) {
  std::set<std::pair<std::string, std::string>> items;
  for (const TrashedItem &item : listing.items)
    if (item.isRestorable())
      items.emplace(item.originalPath, item.deletionDate);
  return items;
}

} // namespace tarnwick
