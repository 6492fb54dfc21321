#pragma once

#include "TarnwickCore/Tree/DiskTreeArena.h"
#include "TarnwickUI/CanvasGeometry.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tarnwick {

/// One tile of a nested treemap: a node laid out inside its folder's tile.
struct NestedTile {
  /// SquarifiedTreemapLayout::syntheticTailNodeID for a folder's items too
  /// small for tiles of their own.
  NodeID id = 0;
  /// The folder whose tile holds this one (the folder on show at depth 0).
  NodeID parentID = 0;
  /// Index in the layout of the tile holding this one; -1 at depth 0.
  std::int32_t parentTile = -1;
  std::uint16_t depth = 0;
  bool isDirectory = false;
  std::int64_t allocatedSize = 0;
  CanvasRect frame;

  friend bool operator==(const NestedTile &, const NestedTile &) = default;
};

/// Lays out the folder on show as a squarified treemap whose folder tiles
/// hold their own children, laid out the same way inside them, level after
/// level. At every level a folder's children share its inner area (its
/// frame less `padding` on each side and a `headerHeight` strip for its
/// name when the tile is tall enough) in proportion to their sizes; the
/// children whose tiles would be smaller than `minTileArea` fold into one
/// tail tile.
///
/// Tiles come breadth first, so every tile follows the tile holding it and
/// painting in order draws parents under children. The layout ends at the
/// first folder whose children would take it past `maxTiles`: memory and
/// paint time stay bounded whatever the tree, and every level but the last
/// one drawn is complete (the last is complete for its larger folders). The
/// folder on show is always laid out: past the budget, its smaller children
/// fold into its tail.
///
/// Cost: one pass over the children of every folder it opens, and a partial
/// sort of those that get tiles; reads records only, no paths or names.
/// Threads: reads `arena` only.
class NestedTreemapLayout {
public:
  struct Options {
    double minTileArea = 16;
    std::size_t maxTiles = 50'000;
    double padding = 2;
    double headerHeight = 14;
  };

  /// `topLevel`, when given, replaces the children of `folder` at the
  /// first level (a filtered view, or a folder's tail opened on its own);
  /// they must be children of `folder`.
  static std::vector<NestedTile> compute(const DiskTreeArena &arena, NodeID folder, CanvasSize canvas,
                                         const Options &options,
                                         std::optional<std::span<const NodeID>> topLevel = std::nullopt);
  /// Where the children of a folder tile with `frame` are laid out.
  static CanvasRect innerArea(const CanvasRect &frame, const Options &options);
};

} // namespace tarnwick
