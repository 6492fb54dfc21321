#pragma once

#include "TarnwickCore/Catalogue/CacheMeasurement.h"
#include "TarnwickCore/Deletion/SafeCleaningTypes.h"

#include <optional>
#include <stop_token>
#include <string>

namespace tarnwick {
class FastBulkScanner;
} // namespace tarnwick

namespace quillane {

/// What removing the approved `path` frees, measured before it goes: a
/// file's blocks, a folder's scanned subtree (DiskTreeArena's
/// removalMeasurement), nothing for anything else; a file with several
/// names is kept apart with how many of them `path` holds, so that one
/// whose other names stay is not counted as freed (settleReclaimedSpace).
/// Nothing when `stop` interrupts the scan of a folder.
std::optional<tarnwick::CacheMeasurement> measureRemoval(const std::string &path,
                                                         const tarnwick::FastBulkScanner &scanner,
                                                         std::stop_token stop);

/// The closing lines of `quillane trash`: how many of the `given` paths
/// were cleaned, what that frees by `space` (for a move to the Trash, once
/// the Trash is emptied), then each cleaned item that frees nothing because
/// other links to its files remain, or how many such links keep some files.
std::string cleanedSummary(const tarnwick::ReclaimedSpace &space, std::size_t cleaned, std::size_t given,
                           double seconds);

} // namespace quillane
