#pragma once

#include "TarnwickCore/Catalogue/CacheMeasurement.h"
#include "TarnwickCore/Catalogue/CleanableItem.h"
#include "TarnwickCore/Deletion/SafeCleaningEngine.h"

#include <functional>
#include <map>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

namespace tarnwick {

/// Measures one item as it is before cleaning: its unshared bytes and its
/// multi-link files with how many of their names it holds. The explorer's
/// comes from the scan tree (DiskTreeArena::removalMeasurement), the cache
/// window's from the disk (CacheSizeMeasurer::survey, around the entries
/// cleaning keeps).
using CleaningMeasure = std::function<CacheMeasurement(const CleanableItem &item)>;

/// What removing the items of `cleaned` (path and measurement each) frees
/// together: their unshared bytes, and each multi-link file once when all
/// of its links are among them. The rest are the remaining links; an item
/// that frees nothing while its files keep other links is named with how
/// many remain.
ReclaimedSpace settleReclaimedSpace(DeletionMode mode,
                                    const std::vector<std::pair<std::string, CacheMeasurement>> &cleaned);

/// What a removal that stopped part-way took away: the item as measured
/// before, less what is left of it now, measured the same way. A multi-link
/// file whose names went in part counts the names that went. Empty when
/// nothing that frees space went.
CacheMeasurement removedPart(const CacheMeasurement &before, const CacheMeasurement &left);

/// The items of `report` that went, each with its measurement for
/// settleReclaimedSpace: a cleaned item as measured `before` the run (by
/// the path the items gave), and one a permanent removal left part of with
/// what went of it (removedPart, what is left measured on the disk). An
/// item refused or not measured counts for nothing.
std::vector<std::pair<std::string, CacheMeasurement>>
whatWent(const SafeCleaningReport &report, DeletionMode mode, const std::map<std::string, CacheMeasurement> &before);

/// SafeCleaningEngine::clean, with the report's `reclaimed` filled in: every
/// selected item is measured first, then the measurements of the items the
/// run cleaned are settled together. An item the run left (refused,
/// failed, already covered) counts for nothing, and its links count as
/// remaining.
///
/// Threads: blocks like the engine; call it off the GUI thread.
SafeCleaningReport cleanMeasuringSpace(SafeCleaningEngine &engine, const std::vector<CleanableItem> &items,
                                       DeletionMode mode, bool allowUserConfirmedHomeItem,
                                       const CleaningMeasure &measure,
                                       SafeCleaningEngine::ProgressHandler progressHandler = {},
                                       std::stop_token stop = {});

} // namespace tarnwick
