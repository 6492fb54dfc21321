#pragma once

#include "TarnwickCore/Catalogue/CleanableCategory.h"
#include "TarnwickCore/Tree/DiskTreeArena.h"
#include "TarnwickUI/NestedTreemapLayout.h"
#include "TarnwickUI/TreemapRect.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tarnwick {

/// A nested treemap laid out for one canvas, with what the canvas needs to
/// paint it and to answer the pointer: each tile's category, the tile under
/// a point, and a whole description of one tile on demand. Names and paths
/// are built only for the tiles asked about, so a scene of tens of
/// thousands of tiles costs its layout and one category guess per tile.
///
/// Holds the arena it was laid out from, so its identifiers stay valid for
/// as long as the scene lives. Threads: built on any thread; never changed
/// afterwards, so it may be read from any thread.
class NestedTreemapScene {
public:
  NestedTreemapScene() = default;

  /// Lays out `folder` (or `topLevel` of its children, see
  /// NestedTreemapLayout::compute) on a canvas of `canvas` points.
  static NestedTreemapScene build(std::shared_ptr<const DiskTreeArena> arena, NodeID folder, CanvasSize canvas,
                                  const NestedTreemapLayout::Options &options,
                                  std::optional<std::span<const NodeID>> topLevel = std::nullopt);

  bool isEmpty() const { return tiles_.empty(); }
  const std::vector<NestedTile> &tiles() const { return tiles_; }
  const std::shared_ptr<const DiskTreeArena> &arena() const { return arena_; }
  NodeID folder() const { return folder_; }
  const NestedTreemapLayout::Options &options() const { return options_; }
  /// The category colouring tile `index`: the node's hint, else the one its
  /// path suggests; none for the tail and for what nothing describes.
  std::optional<CleanableCategory> category(std::size_t index) const;

  /// The deepest tile whose frame holds `point`, right and bottom edges
  /// excluded but for the canvas's own far edges.
  std::optional<std::size_t> tileAt(CanvasPoint point) const;
  /// The tile of node `id`, when it has one.
  std::optional<std::size_t> indexOf(NodeID id) const;

  /// Tile `index` as the one-level view would describe it: the whole node
  /// (a synthetic "Smaller Items" node for a tail), its share of the folder
  /// holding it and, for a tail, how many items it holds.
  TreemapRect describe(std::size_t index) const;
  /// The tile's path below the folder on show ("a/b/c.iso"), byte for byte;
  /// a tail is named by its folder's path.
  std::string relativePath(std::size_t index) const;
  /// What a tail holds: its folder's children (of any size above zero) that
  /// have no tile of their own, largest first. Empty for any other tile.
  std::vector<NodeID> tailMembers(std::size_t index) const;

private:
  std::shared_ptr<const DiskTreeArena> arena_;
  NodeID folder_ = 0;
  NestedTreemapLayout::Options options_;
  CanvasSize canvas_;
  std::vector<NestedTile> tiles_;
  /// One byte per tile: 0 for none, else the category's value plus one.
  std::vector<std::uint8_t> categories_;
  /// The children laid out at the first level when not all of them.
  std::optional<std::vector<NodeID>> topLevel_;
};

} // namespace tarnwick
