#pragma once

#include "TarnwickCore/Tree/DiskNode.h"
#include "TarnwickUI/CanvasGeometry.h"

#include <cstdint>

namespace tarnwick {

/// One tile of a laid-out treemap.
struct TreemapRect {
  /// The node's identifier; SquarifiedTreemapLayout::syntheticTailNodeID for the tail.
  NodeID id = 0;
  /// A copy of the laid-out node, or the synthetic tail node.
  DiskNode node;
  CanvasRect frame;
  /// `frame` shrunk by the same inset on every side (at most 1 point).
  CanvasRect insetFrame;
  /// Longer side over shorter side of `frame`; 1 when a side is not positive.
  double aspectRatio = 1;
  /// The node's size over the parent folder's size.
  double fractionOfParent = 0;
  bool isAggregatedTail = false;
  /// 1 for an ordinary tile; how many nodes the tail holds.
  std::int64_t aggregatedItemCount = 1;

  friend bool operator==(const TreemapRect &, const TreemapRect &) = default;
};

} // namespace tarnwick
