#include "TarnwickApp/Windows/WindowGeometry.h"

namespace quillane {

WindowGeometry WindowGeometry::forScreen(QSize available) {
  if (available.isEmpty()) // no screen known: as designed
    return {designedMinimum, preferred};
  WindowGeometry geometry;
  geometry.minimum = designedMinimum.boundedTo(available);
  // A margin around the first window where the screen is about its size,
  // so it does not open edge to edge.
  geometry.initial = preferred.boundedTo(available * 0.9).expandedTo(geometry.minimum);
  return geometry;
}

} // namespace quillane
