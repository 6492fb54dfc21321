#pragma once

#include "TarnwickUI/CanvasGeometry.h"

#include <optional>
#include <span>
#include <vector>

namespace tarnwick {

/// Splits `bounds` into one rectangle per area, in the order given: areas
/// largest first, summing to the area of `bounds`. Rows are laid along the
/// shorter side, and a row takes the next area only while that does not
/// make its worst aspect ratio worse (ties join the row); the last row takes
/// whatever is left, so rounding never leaves a gap. A row that finds no
/// room left (or sums to 0) gets nothing: its entries are empty. Threads:
/// stateless.
std::vector<std::optional<CanvasRect>> squarify(std::span<const double> areas, CanvasRect bounds);

} // namespace tarnwick
