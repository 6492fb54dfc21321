#pragma once

#include "TarnwickCore/Catalogue/CleanableItem.h"

#include <stop_token>
#include <string>
#include <vector>

namespace tarnwick {

/// Every known reclaimable cache under one home folder: the developer, the
/// creator-and-browser and the application catalogues and the artefacts of
/// the projects below the home folder (ProjectArtefactFinder), merged
/// largest first (equal sizes: in that order, each in its own order). The
/// application catalogue lists what the other two leave of the cache
/// folder, so no entry there is listed twice; the project walk does not
/// enter the other catalogues' locations.
///
/// Sizes are settled over the whole scan (see settleSizes): an item's size
/// is what cleaning it frees, each multi-link file counts once across all
/// items, and not at all while a name outside the items (or one that
/// cleaning keeps) holds it. So the sum of the ticked items never counts a
/// file twice. It can still overstate what one item frees alone when the
/// names of a file are split between it and an unticked item.
///
/// Threads: blocking; call it off the GUI thread. It runs the creator
/// catalogue on a second thread of its own and joins it before returning,
/// on every path.
class CacheCatalogue {
public:
  /// Throws ScanCancelledError once `stop` is requested, between locations
  /// or while one is walked; nothing partial is returned. A location that
  /// cannot be read is not a failure: it offers what could be read, or no
  /// item. Only running out of memory or of threads (std::bad_alloc,
  /// std::system_error) fails the whole catalogue, as an exception.
  static std::vector<CleanableItem> scan(const std::string &homeDirectory, std::stop_token stop = {});

  /// Only the artefacts of the projects below `roots` (absolute folders),
  /// settled among themselves, largest first. Throws as scan() does.
  static std::vector<CleanableItem> scanProjects(const std::string &homeDirectory, std::vector<std::string> roots,
                                                 std::stop_token stop = {});

  /// The sum of the ticked items' sizes, in bytes.
  static std::int64_t selectedBytes(const std::vector<CleanableItem> &items);
};

} // namespace tarnwick
