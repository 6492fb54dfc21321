#include "TarnwickUI/NestedTreemapLayout.h"

#include "TarnwickUI/SquarifiedTreemapLayout.h"
#include "TarnwickUI/Squarify.h"

#include <algorithm>
#include <optional>
#include <span>

namespace tarnwick {
namespace {

struct Key {
  std::int64_t size;
  NodeID id;
};

bool largerFirst(const Key &a, const Key &b) { return a.size != b.size ? a.size > b.size : a.id < b.id; }

struct Pending {
  NodeID folder;
  std::int32_t tile; // -1 for the folder on show
  std::uint16_t depth;
  CanvasRect area;
};

void addKey(const DiskTreeArena &arena, NodeID id, std::vector<Key> &keys, std::int64_t &total) {
  if (const std::int64_t size = arena.record(id).allocatedSize; size > 0) {
    keys.push_back({size, id});
    total += size;
  }
}

// Lays the children of one folder (or, for the folder on show, `topLevel`
// when given) out in `area`, appending their tiles to `tiles` and the
// folders among them that have room inside to `next`. Below the folder on
// show, false with nothing added when they would not fit in what is left
// of the budget; the folder on show itself folds what does not fit into
// its tail, so the view is never empty.
bool layOutFolder(const DiskTreeArena &arena, const Pending &at, const NestedTreemapLayout::Options &options,
                  std::optional<std::span<const NodeID>> topLevel, std::vector<Key> &keys,
                  std::vector<NestedTile> &tiles, std::vector<Pending> &next) {
  keys.clear();
  std::int64_t total = 0;
  if (at.tile < 0 && topLevel) {
    keys.reserve(topLevel->size());
    for (NodeID id : *topLevel)
      addKey(arena, id, keys, total);
  } else {
    const DiskTreeArena::Record &folder = arena.record(at.folder);
    // One allocation, kept for the smaller folders that follow: growing
    // by doubling touches twice the pages of a large folder's keys.
    keys.reserve(folder.childCount);
    for (std::uint32_t i = 0; i < folder.childCount; ++i)
      addKey(arena, folder.firstChildID + NodeID(i), keys, total);
  }
  const double area = at.area.width * at.area.height;
  if (keys.empty() || !(area > 0))
    return true;
  const double perByte = area / static_cast<double>(total);
  std::size_t keep = static_cast<std::size_t>(std::count_if(
      keys.begin(), keys.end(), [&](const Key &key) { return double(key.size) * perByte >= options.minTileArea; }));
  std::size_t count = keep + (keep < keys.size() ? 1 : 0);
  if (at.tile < 0 && count > options.maxTiles && options.maxTiles > 0) {
    keep = options.maxTiles - 1;
    count = options.maxTiles;
  }
  if (tiles.size() + count > options.maxTiles)
    return false;
  // The tiled few of a large folder: selecting them first and sorting only
  // them beats a partial sort several times over when they number
  // thousands (the order is total, so either gives the same result).
  const auto kept = keys.begin() + std::ptrdiff_t(keep);
  if (kept != keys.end())
    std::nth_element(keys.begin(), kept, keys.end(), largerFirst);
  std::sort(keys.begin(), kept, largerFirst);
  std::int64_t tailSize = 0;
  for (std::size_t i = keep; i < keys.size(); ++i)
    tailSize += keys[i].size;
  // The tail is as large as what it holds, so it takes its place by size.
  std::vector<Key> order(keys.begin(), keys.begin() + std::ptrdiff_t(keep));
  if (tailSize > 0)
    order.insert(std::upper_bound(order.begin(), order.end(), Key{tailSize, INT32_MAX}, largerFirst),
                 Key{tailSize, SquarifiedTreemapLayout::syntheticTailNodeID});
  std::vector<double> areas;
  areas.reserve(order.size());
  for (const Key &key : order)
    areas.push_back(double(key.size) * perByte);
  const std::vector<std::optional<CanvasRect>> frames = squarify(areas, at.area);
  for (std::size_t i = 0; i < order.size(); ++i) {
    if (!frames[i])
      continue;
    const bool isTail = order[i].id == SquarifiedTreemapLayout::syntheticTailNodeID;
    const bool isDirectory = !isTail && arena.record(order[i].id).isDirectory;
    tiles.push_back({order[i].id, at.folder, at.tile, at.depth, isDirectory, order[i].size, *frames[i]});
    const CanvasRect inner = NestedTreemapLayout::innerArea(*frames[i], options);
    if (isDirectory && inner.width * inner.height >= options.minTileArea)
      next.push_back({order[i].id, std::int32_t(tiles.size() - 1), std::uint16_t(at.depth + 1), inner});
  }
  return true;
}

} // namespace

CanvasRect NestedTreemapLayout::innerArea(const CanvasRect &frame, const Options &options) {
  CanvasRect inner = frame.insetBy(options.padding);
  if (inner.height >= 3 * options.headerHeight && inner.width >= 3 * options.headerHeight) {
    inner.y += options.headerHeight;
    inner.height -= options.headerHeight;
  }
  if (inner.width <= 0 || inner.height <= 0)
    return {frame.x, frame.y, 0, 0};
  return inner;
}

std::vector<NestedTile> NestedTreemapLayout::compute(const DiskTreeArena &arena, NodeID folder, CanvasSize canvas,
                                                     const Options &options,
                                                     std::optional<std::span<const NodeID>> topLevel) {
  std::vector<NestedTile> tiles;
  if (!arena.isValid(folder) || canvas.width <= 0 || canvas.height <= 0)
    return tiles;
  std::vector<Pending> level{{folder, -1, 0, {0, 0, canvas.width, canvas.height}}}, next;
  std::vector<Key> keys;
  // Level by level, each folder's children after its larger siblings';
  // the first folder that does not fit ends the layout.
  while (!level.empty()) {
    next.clear();
    for (const Pending &at : level)
      if (!layOutFolder(arena, at, options, topLevel, keys, tiles, next))
        return tiles;
    level.swap(next);
  }
  return tiles;
}

} // namespace tarnwick
