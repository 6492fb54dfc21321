#pragma once

namespace tarnwick {

/// A point in canvas coordinates (points; origin at the top-left corner).
struct CanvasPoint {
  double x = 0;
  double y = 0;
};

/// A rectangle in canvas coordinates. Never rounded to whole points.
struct CanvasRect {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;

  double maxX() const { return x + width; }
  double maxY() const { return y + height; }
  /// The same rectangle shrunk by `inset` on all four sides.
  CanvasRect insetBy(double inset) const { return {x + inset, y + inset, width - 2 * inset, height - 2 * inset}; }

  friend bool operator==(const CanvasRect &, const CanvasRect &) = default;
};

/// A canvas size in points.
struct CanvasSize {
  double width = 0;
  double height = 0;
};

} // namespace tarnwick
