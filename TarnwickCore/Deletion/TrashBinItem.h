#pragma once

#include "TarnwickCore/Catalogue/CleanableItem.h"
#include "TarnwickCore/Deletion/SafeCleaningTypes.h"
#include "TarnwickCore/Deletion/TrashCatalogue.h"

#include <optional>
#include <stop_token>
#include <vector>

namespace tarnwick {

/// The user's Trash as one item of the cache catalogue ("Trash Bins"): the
/// home Trash and the trash folders of mounted file systems, as the Trash
/// view lists them (TrashCatalogue). Its path is the home Trash folder,
/// which stands for all of them.
///
/// Cleaning it empties the Trash with TrashCatalogue::empty, as the Trash
/// view does; it never goes through the cleaning engine (moving the Trash
/// to the Trash would free nothing). Emptying cannot be undone, so the
/// item is offered with caution and never ticked by default.
///
/// Threads: any; every call blocks while it reads or changes the disk.
class TrashBinItem {
public:
  /// The item for what `trash` holds now; nothing when it holds nothing.
  /// Throws ScanCancelledError once `stop` is requested.
  static std::optional<CleanableItem> measure(const TrashCatalogue &trash, std::stop_token stop = {});

  /// Whether `item` is the one measure() gives for `trash`.
  static bool isTrashBin(const CleanableItem &item, const TrashCatalogue &trash);

  /// `items` with the Trash item of `trash` added, largest first (the
  /// others keep their order among equals).
  static std::vector<CleanableItem> withTrashBin(std::vector<CleanableItem> items, const TrashCatalogue &trash,
                                                 std::stop_token stop = {});

  /// Empties everything the Trash holds now and adds the outcome to
  /// `report`: the bytes freed, the item's path as cleaned when every entry
  /// went, else the first failure (and how many more) as its error. Run it
  /// before moving other items to the Trash, so that they stay there.
  static void empty(const TrashCatalogue &trash, const CleanableItem &item, SafeCleaningReport &report,
                    std::stop_token stop = {});
};

} // namespace tarnwick
