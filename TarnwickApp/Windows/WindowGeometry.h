#pragma once

#include <QSize>

namespace quillane {

/// The main window's minimum and first size for a screen: as designed where
/// the screen has room, never larger than the screen's free area (which a
/// scale factor of 1.5 or 2 shrinks, in device-independent pixels), so the
/// whole window, action bar included, stays reachable.
struct WindowGeometry {
  QSize minimum;
  QSize initial;

  static constexpr QSize designedMinimum{1040, 680};
  static constexpr QSize preferred{1280, 800};

  /// For a screen whose free area (without panels) is `available`.
  static WindowGeometry forScreen(QSize available);
};

} // namespace quillane
