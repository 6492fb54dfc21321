#pragma once

#include "TarnwickUI/TreemapRect.h"

#include <cstddef>
#include <optional>
#include <span>

namespace tarnwick {

/// Where the arrow keys take the keyboard's tile: to the nearest tile
/// lying wholly beyond the current one's edge in the key's direction,
/// nearness being the gap along that direction plus twice the offset
/// across it (tiles side by side with the current one cost no offset).
/// Pure geometry: the caller chooses which tiles take part (in a nested
/// view, those of the current tile's depth).
struct TreemapKeyboardNavigation {
  enum class Direction { left, right, up, down };

  /// The index in `frames` of `from`'s neighbour in `direction`; nothing
  /// at the canvas's edge in that direction.
  static std::optional<std::size_t> neighbour(std::span<const CanvasRect> frames, std::size_t from,
                                              Direction direction);
};

} // namespace tarnwick
