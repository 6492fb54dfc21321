#include "TarnwickUI/SquarifiedTreemapLayout.h"

#include "TarnwickUI/Squarify.h"

#include <algorithm>
#include <numeric>
#include <string>

namespace tarnwick {
namespace {

struct Candidate {
  const DiskNode *node; // the input node, or the tail node
  double area;
  bool isTail;
  std::int64_t aggregatedCount;
};

struct SortKey {
  std::int64_t size;
  std::size_t position;
};

bool largerFirst(const SortKey &a, const SortKey &b) {
  return a.size != b.size ? a.size > b.size : a.position < b.position;
}

// The synthetic node standing for `tail`, the children that get no tile of
// their own. Its parent is that of the tail's first member: the largest
// small child when there are small children (they lead the tail), else the
// largest child the tile budget pushed out.
template <typename IsSmall>
DiskNode makeTailNode(std::span<const DiskNode> nodes, std::span<const SortKey> tail, bool hasSmall,
                      IsSmall isSmall) {
  DiskNode node;
  node.id = SquarifiedTreemapLayout::syntheticTailNodeID;
  node.name = "Smaller Items (" + std::to_string(tail.size()) + " files)";
  const SortKey *first = nullptr;
  for (const SortKey &key : tail) {
    const DiskNode &member = nodes[key.position];
    node.allocatedSize += member.allocatedSize;
    node.fileCount += std::max<std::int64_t>(1, member.fileCount);
    if (isSmall(key) == hasSmall && (!first || largerFirst(key, *first)))
      first = &key;
  }
  if (first)
    node.parentID = nodes[first->position].parentID;
  return node;
}

TreemapRect makeTile(const Candidate &candidate, const CanvasRect &frame, double denominator) {
  TreemapRect tile;
  tile.node = *candidate.node;
  tile.id = tile.node.id;
  tile.frame = frame;
  const double shortSide = std::min(frame.width, frame.height);
  tile.insetFrame = frame.insetBy(std::max(0.0, std::min(shortSide * 0.25, 1.0)));
  tile.aspectRatio = frame.width > 0 && frame.height > 0 ? std::max(frame.width, frame.height) / shortSide : 1.0;
  tile.fractionOfParent = static_cast<double>(tile.node.allocatedSize) / denominator;
  tile.isAggregatedTail = candidate.isTail;
  tile.aggregatedItemCount = candidate.aggregatedCount;
  return tile;
}

} // namespace

std::vector<TreemapRect> SquarifiedTreemapLayout::compute(std::span<const DiskNode> nodes, CanvasSize canvas,
                                                          double minPixelArea, std::int64_t maxVisibleRects,
                                                          std::optional<std::int64_t> parentAllocatedSize) {
  const double canvasArea = canvas.width * canvas.height;
  if (canvas.width <= 0 || canvas.height <= 0 || nodes.empty() || !(canvasArea > 0))
    return {};
  // (size, position) keys rather than nodes: only tiles copy a node, and the
  // keys sit together in memory. Ordering equal sizes by position gives the
  // stable largest-first order the tiles and the tail follow.
  std::vector<SortKey> keys;
  keys.reserve(nodes.size());
  std::int64_t total = 0;
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    if (nodes[i].allocatedSize > 0) {
      keys.push_back({nodes[i].allocatedSize, i});
      total += nodes[i].allocatedSize;
    }
  }
  if (keys.empty() || total < 1)
    return {};
  const std::int64_t parentSize = parentAllocatedSize.value_or(total);
  const double denominator = parentSize < 1 ? 1.0 : static_cast<double>(parentSize);
  auto projectedArea = [&](std::int64_t size) {
    return static_cast<double>(size) / static_cast<double>(total) * canvasArea;
  };

  // Visible children are the largest ones; only those that become tiles
  // need sorting, the rest only need adding up into the tail.
  const auto visible = static_cast<std::size_t>(std::count_if(
      keys.begin(), keys.end(), [&](const SortKey &key) { return projectedArea(key.size) >= minPixelArea; }));
  const bool hasSmall = visible < keys.size();
  std::size_t keep = visible;
  if (hasSmall || static_cast<std::int64_t>(visible) > maxVisibleRects)
    keep = static_cast<std::size_t>(std::clamp<std::int64_t>(maxVisibleRects - 1, 0, static_cast<std::int64_t>(visible)));
  std::partial_sort(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(keep), keys.end(), largerFirst);

  std::vector<Candidate> candidates;
  candidates.reserve(keep + 1);
  for (std::size_t i = 0; i < keep; ++i)
    candidates.push_back({&nodes[keys[i].position], projectedArea(keys[i].size), false, 1});
  DiskNode tailNode;
  if (keep < keys.size()) {
    tailNode = makeTailNode(nodes, std::span(keys).subspan(keep), hasSmall, [&](const SortKey &key) {
      return projectedArea(key.size) < minPixelArea;
    });
    double tailArea = canvasArea * (static_cast<double>(tailNode.allocatedSize) / static_cast<double>(total));
    candidates.push_back({&tailNode, tailArea, true, static_cast<std::int64_t>(keys.size() - keep)});
  }
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const Candidate &a, const Candidate &b) { return a.area > b.area; });

  std::vector<double> areas;
  areas.reserve(candidates.size());
  for (const Candidate &candidate : candidates)
    areas.push_back(candidate.area);
  const std::vector<std::optional<CanvasRect>> frames = squarify(areas, {0, 0, canvas.width, canvas.height});
  std::vector<TreemapRect> tiles;
  tiles.reserve(candidates.size());
  for (std::size_t i = 0; i < candidates.size(); ++i)
    if (frames[i])
      tiles.push_back(makeTile(candidates[i], *frames[i], denominator));
  return tiles;
}

std::optional<std::size_t> SquarifiedTreemapLayout::hitTestIndex(CanvasPoint point, std::span<const TreemapRect> rects) {
  for (std::size_t i = 0; i < rects.size(); ++i) {
    const CanvasRect &f = rects[i].frame;
    if (f.x <= point.x && point.x < f.maxX() && f.y <= point.y && point.y < f.maxY())
      return i;
  }
  for (std::size_t i = 0; i < rects.size(); ++i) {
    const CanvasRect &f = rects[i].frame;
    if (f.x <= point.x && point.x <= f.maxX() && f.y <= point.y && point.y <= f.maxY())
      return i;
  }
  return std::nullopt;
}

std::optional<TreemapRect> SquarifiedTreemapLayout::hitTest(CanvasPoint point, std::span<const TreemapRect> rects) {
  if (auto index = hitTestIndex(point, rects))
    return rects[*index];
  return std::nullopt;
}

} // namespace tarnwick
