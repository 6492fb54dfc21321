#pragma once

#include "TarnwickUI/TreemapRect.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tarnwick {

/// Lays the children of one folder out as a squarified treemap: tiles whose
/// areas are proportional to the children's sizes, in rows chosen to keep
/// them close to square. Children too small to see, and those beyond the
/// tile budget, fold into one synthetic tail tile.
///
/// Threads: stateless; safe from any thread.
class SquarifiedTreemapLayout {
public:
  static constexpr double defaultMinPixelArea = 4.0;
  static constexpr std::int64_t defaultMaxVisibleRects = 120;
  static constexpr NodeID syntheticTailNodeID = -9999;

  /// Tiles in decreasing area, tiling (0, 0, canvas width, canvas height).
  /// Children of size 0 are left out. `parentAllocatedSize` is only the
  /// denominator of fractionOfParent (the children's sum when absent).
  /// Memory is linear in the number of children; only tiles copy nodes.
  static std::vector<TreemapRect> compute(std::span<const DiskNode> nodes, CanvasSize canvasBounds,
                                          double minPixelArea, std::int64_t maxVisibleRects,
                                          std::optional<std::int64_t> parentAllocatedSize);

  /// The tile under `point`: the first whose frame holds it with the right
  /// and bottom edges excluded, else the first with them included (so the
  /// canvas's far edges still hit), else nothing.
  static std::optional<TreemapRect> hitTest(CanvasPoint point, std::span<const TreemapRect> rects);
  /// The same, as an index into `rects`.
  static std::optional<std::size_t> hitTestIndex(CanvasPoint point, std::span<const TreemapRect> rects);
};

} // namespace tarnwick
