#include "TarnwickUI/ChangeColouring.h"

#include "TarnwickUI/TreemapPalette.h"

#include <algorithm>
#include <cstdlib>

namespace tarnwick {
namespace {

// The weakest change still reads as one against the unchanged grey.
constexpr double weakest = 0.45;

} // namespace

ChangeColouring::ChangeColouring(std::shared_ptr<const TreeComparison> comparison)
    : comparison_(std::move(comparison)) {}

bool ChangeColouring::describes(const DiskTreeArena &arena) const {
  return comparison_ && &comparison_->newer().namePool() == &arena.namePool() &&
         comparison_->newer().nodeCount() == arena.nodeCount();
}

std::optional<QColor> ChangeColouring::fill(NodeID id) const {
  if (!comparison_ || id < 0 || static_cast<std::size_t>(id) >= comparison_->newer().nodeCount())
    return std::nullopt;
  const TreeComparison::Change change = comparison_->change(id);
  if (change == TreeComparison::Change::unchanged)
    return colour(change);
  const std::int64_t after = comparison_->newer().record(id).allocatedSize;
  const std::int64_t before = comparison_->olderSize(id).value_or(0);
  const double larger = double(std::max({after, before, std::int64_t(1)}));
  const double relative = std::min(1.0, double(std::llabs(after - before)) / larger);
  const double strength = weakest + (1 - weakest) * relative;
  return TreemapPalette::mix(colour(TreeComparison::Change::unchanged), colour(change), strength);
}

QColor ChangeColouring::colour(TreeComparison::Change change) {
  switch (change) {
  case TreeComparison::Change::grown: return QColor::fromRgbF(0.93f, 0.36f, 0.22f);
  case TreeComparison::Change::shrunk: return QColor::fromRgbF(0.20f, 0.72f, 0.42f);
  case TreeComparison::Change::added: return QColor::fromRgbF(0.25f, 0.52f, 0.96f);
  case TreeComparison::Change::gone: // has no tile
  case TreeComparison::Change::unchanged: break;
  }
  return QColor::fromRgbF(0.40f, 0.43f, 0.48f);
}

} // namespace tarnwick
