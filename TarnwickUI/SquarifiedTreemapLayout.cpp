#include "TarnwickUI/SquarifiedTreemapLayout.h"

#include <algorithm>
#include <limits>
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

constexpr double unusableRatio = std::numeric_limits<double>::max();

// How far from square the worst tile of a row of `sum` total area, with
// areas between `smallest` and `largest`, laid along a side of `side`.
double worstRatio(double sum, double largest, double smallest, double side) {
  if (side <= 0 || sum <= 0 || smallest <= 0)
    return unusableRatio;
  double sideSquared = side * side;
  double sumSquared = sum * sum;
  return std::max((largest * sideSquared) / sumSquared, sumSquared / (smallest * sideSquared));
}

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

// Emits tiles for the candidates of one row at a time into `out`.
class Squarifier {
public:
  Squarifier(CanvasSize canvas, double denominator, std::vector<TreemapRect> &out)
      : x_(0), y_(0), w_(canvas.width), h_(canvas.height), denominator_(denominator), out_(out) {}

  void run(std::span<const Candidate> candidates) {
    std::size_t rowBegin = 0, rowEnd = 0;
    while (rowEnd < candidates.size()) {
      if (rowBegin == rowEnd) {
        ++rowEnd;
        continue;
      }
      double side = std::min(w_, h_);
      std::span<const Candidate> row = candidates.subspan(rowBegin, rowEnd - rowBegin);
      if (worst(candidates.subspan(rowBegin, rowEnd - rowBegin + 1), side) <= worst(row, side)) {
        ++rowEnd; // ties add to the row
        continue;
      }
      layRow(row, false);
      rowBegin = rowEnd;
    }
    layRow(candidates.subspan(rowBegin, rowEnd - rowBegin), true);
  }

private:
  // Candidates arrive largest first, so a row's first area is its largest
  // and its last the smallest.
  static double worst(std::span<const Candidate> row, double side) {
    double sum = 0;
    for (const Candidate &c : row)
      sum += c.area;
    return worstRatio(sum, row.front().area, row.back().area, side);
  }

  void layRow(std::span<const Candidate> row, bool isFinal) {
    double sum = 0;
    for (const Candidate &c : row)
      sum += c.area;
    if (row.empty() || w_ <= 0 || h_ <= 0 || sum <= 0)
      return;
    const bool asColumn = h_ <= w_;
    const double length = asColumn ? h_ : w_;
    const double thickness = isFinal ? (asColumn ? w_ : h_) : sum / length;
    double cursor = asColumn ? y_ : x_;
    const double end = cursor + length;
    for (std::size_t i = 0; i < row.size(); ++i) {
      // The last tile takes whatever is left, so rounding never leaves a gap.
      double extent = i + 1 == row.size() ? std::max(0.0, end - cursor) : row[i].area / sum * length;
      CanvasRect frame = asColumn ? CanvasRect{x_, cursor, thickness, extent} : CanvasRect{cursor, y_, extent, thickness};
      emit(row[i], frame);
      cursor += extent;
    }
    if (asColumn) {
      x_ += thickness;
      w_ = std::max(0.0, w_ - thickness);
    } else {
      y_ += thickness;
      h_ = std::max(0.0, h_ - thickness);
    }
  }

  void emit(const Candidate &candidate, const CanvasRect &frame) {
    TreemapRect &tile = out_.emplace_back();
    tile.node = *candidate.node;
    tile.id = tile.node.id;
    tile.frame = frame;
    double shortSide = std::min(frame.width, frame.height);
    tile.insetFrame = frame.insetBy(std::max(0.0, std::min(shortSide * 0.25, 1.0)));
    tile.aspectRatio = frame.width > 0 && frame.height > 0 ? std::max(frame.width, frame.height) / shortSide : 1.0;
    tile.fractionOfParent = static_cast<double>(tile.node.allocatedSize) / denominator_;
    tile.isAggregatedTail = candidate.isTail;
    tile.aggregatedItemCount = candidate.aggregatedCount;
  }

  double x_, y_, w_, h_;
  const double denominator_;
  std::vector<TreemapRect> &out_;
};

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

  std::vector<TreemapRect> tiles;
  tiles.reserve(candidates.size());
  Squarifier(canvas, denominator, tiles).run(candidates);
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
