#include "TarnwickUI/TreemapKeyboardNavigation.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace tarnwick {
namespace {

// Frames laid edge to edge meet at the same coordinate up to rounding.
constexpr double edgeSlack = 0.5;

struct Span {
  double begin, end;
  double centre() const { return (begin + end) / 2; }
};

// How far apart two spans are across the direction of travel: 0 when they
// overlap.
double offsetBetween(Span a, Span b) { return std::max({0.0, b.begin - a.end, a.begin - b.end}); }

} // namespace

std::optional<std::size_t> TreemapKeyboardNavigation::neighbour(std::span<const CanvasRect> frames, std::size_t from,
                                                                Direction direction) {
  if (from >= frames.size())
    return std::nullopt;
  const bool horizontal = direction == Direction::left || direction == Direction::right;
  const bool forward = direction == Direction::right || direction == Direction::down;
  auto along = [&](const CanvasRect &r) {
    return horizontal ? Span{r.x, r.x + r.width} : Span{r.y, r.y + r.height};
  };
  auto across = [&](const CanvasRect &r) {
    return horizontal ? Span{r.y, r.y + r.height} : Span{r.x, r.x + r.width};
  };
  const Span origin = along(frames[from]), side = across(frames[from]);
  std::optional<std::size_t> best;
  std::tuple<double, double> bestScore;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const Span candidate = along(frames[i]);
    const double gap = forward ? candidate.begin - origin.end : origin.begin - candidate.end;
    if (i == from || gap < -edgeSlack)
      continue;
    const Span other = across(frames[i]);
    // Ties (two tiles beside the current one) go to the one whose centre
    // is nearer the current one's.
    const std::tuple<double, double> score{std::max(0.0, gap) + 2 * offsetBetween(side, other),
                                           std::abs(other.centre() - side.centre())};
    if (!best || score < bestScore) {
      best = i;
      bestScore = score;
    }
  }
  return best;
}

} // namespace tarnwick
