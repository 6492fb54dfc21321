#pragma once

#include "TarnwickCore/Catalogue/CacheMeasurement.h"
#include "TarnwickCore/Catalogue/CleanableItem.h"

#include <vector>

namespace tarnwick {

/// A cache item as a scanner found it, before its size is settled against
/// the other items of the same measurement.
struct MeasuredCacheItem {
  CleanableItem item;
  CacheMeasurement measurement;
};

/// The items of one measurement, largest first, each with its final
/// sizeBytes. `items` come in discovery order; equal sizes keep it.
///
/// What an item's size means: the bytes that cleaning it frees, provided
/// each multi-link file is charged to one item only. Precisely:
/// - a file with one name counts at the item holding it;
/// - a multi-link file counts only when all of its names lie in the
///   measured items (none outside, none kept by a filter), and then once,
///   at the first item of the returned order that holds one of its names.
///   As that order is itself by size, it is built greedily: the next item
///   is the one that would be largest if it counted every shared file that
///   no item before it counts (the earliest of equals).
/// So the sum of any set of the returned sizes never counts a file twice,
/// and the sum of them all is what cleaning every item frees.
///
/// What it does not cover: a file whose names are split between two items
/// is freed only when both are cleaned, yet it counts at one of them. When
/// just that one is cleaned, the size overstates what is freed; when just
/// the other is, nothing of that file is promised and nothing is freed.
/// An item whose walk found data keeps its place even when none of it
/// counts there (a size of 0): its names still hold that data.
///
/// Threads: a pure function of its argument.
std::vector<CleanableItem> settleSizes(std::vector<MeasuredCacheItem> items);

} // namespace tarnwick
