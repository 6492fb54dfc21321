#include "TarnwickUI/Squarify.h"

#include <algorithm>
#include <limits>

namespace tarnwick {
namespace {

constexpr double unusableRatio = std::numeric_limits<double>::max();

// How far from square the worst tile of a row of `sum` total area, with
// areas between `smallest` and `largest`, laid along a side of `side`.
double worstRatio(double sum, double largest, double smallest, double side) {
  if (side <= 0 || sum <= 0 || smallest <= 0)
    return unusableRatio;
  const double sideSquared = side * side;
  const double sumSquared = sum * sum;
  return std::max((largest * sideSquared) / sumSquared, sumSquared / (smallest * sideSquared));
}

class Squarifier {
public:
  Squarifier(CanvasRect bounds, std::vector<std::optional<CanvasRect>> &out)
      : x_(bounds.x), y_(bounds.y), w_(bounds.width), h_(bounds.height), out_(out) {}

  void run(std::span<const double> areas) {
    // The row's sum is kept as it grows (added in the same order as a
    // fresh sum would be): a row of small tiles can run to hundreds.
    std::size_t rowBegin = 0, rowEnd = 0;
    double rowSum = 0;
    while (rowEnd < areas.size()) {
      if (rowBegin == rowEnd) {
        rowSum = areas[rowEnd++];
        continue;
      }
      const double side = std::min(w_, h_);
      const double grown = rowSum + areas[rowEnd];
      // Areas arrive largest first: a row's first is its largest, its last the smallest.
      if (worstRatio(grown, areas[rowBegin], areas[rowEnd], side) <=
          worstRatio(rowSum, areas[rowBegin], areas[rowEnd - 1], side)) {
        rowSum = grown;
        ++rowEnd; // ties add to the row
        continue;
      }
      layRow(areas.subspan(rowBegin, rowEnd - rowBegin), false);
      rowBegin = rowEnd;
    }
    layRow(areas.subspan(rowBegin, rowEnd - rowBegin), true);
  }

private:
  void layRow(std::span<const double> row, bool isFinal) {
    double sum = 0;
    for (double area : row)
      sum += area;
    if (row.empty() || w_ <= 0 || h_ <= 0 || sum <= 0) {
      out_.resize(out_.size() + row.size());
      return;
    }
    const bool asColumn = h_ <= w_;
    const double length = asColumn ? h_ : w_;
    const double thickness = isFinal ? (asColumn ? w_ : h_) : sum / length;
    double cursor = asColumn ? y_ : x_;
    const double end = cursor + length;
    for (std::size_t i = 0; i < row.size(); ++i) {
      const double extent = i + 1 == row.size() ? std::max(0.0, end - cursor) : row[i] / sum * length;
      out_.push_back(asColumn ? CanvasRect{x_, cursor, thickness, extent} : CanvasRect{cursor, y_, extent, thickness});
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

  double x_, y_, w_, h_;
  std::vector<std::optional<CanvasRect>> &out_;
};

} // namespace

std::vector<std::optional<CanvasRect>> squarify(std::span<const double> areas, CanvasRect bounds) {
  std::vector<std::optional<CanvasRect>> frames;
  frames.reserve(areas.size());
  Squarifier(bounds, frames).run(areas);
  return frames;
}

} // namespace tarnwick
