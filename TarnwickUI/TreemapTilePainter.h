#pragma once

#include "TarnwickUI/ChangeColouring.h"
#include "TarnwickUI/TreemapRect.h"

#include <QColor>
#include <QFontMetricsF>
#include <QString>

#include <cstdint>
#include <optional>
#include <span>

class QPainter;
class QRectF;
class QString;

namespace tarnwick {

/// Draws treemap tiles onto any QPainter (a widget, an image, an SVG
/// generator) in one pass: rounded tiles on their inset frames, the
/// category fill (or, given a change colouring, the fill of its change), a
/// top-to-bottom bevel, name and size labels where the
/// tile has room, and the selection or hover outline. The canvas widget and
/// the command-line export share it, so both look the same.
///
/// Threads: any thread that may use the painter's device; needs a
/// QGuiApplication for text.
class TreemapTilePainter {
public:
  static void paint(QPainter &painter, std::span<const TreemapRect> rects, std::optional<NodeID> hoveredID = {},
                    std::optional<NodeID> selectedID = {}, const ChangeColouring &changes = {});
  /// Only the outline of one tile: cyan when selected, else white (hovered).
  /// For drawing over tiles painted earlier without their outline.
  static void paintOutline(QPainter &painter, const TreemapRect &tile, bool selected);

  /// The name and size labels inside `box`, as much of them as its size
  /// allows (see the thresholds); nothing in a smaller box.
  static void paintLabels(QPainter &painter, const QRectF &box, const QString &text, std::int64_t bytes,
                          const QColor &fill);

  /// Label thresholds in points (strictly greater than): a name from
  /// 54 × 28, a name and a size from 72 × 44.
  /// `name` shortened in the middle to `width`, or nothing when fewer than
  /// four of its letters would remain: a fragment tells nothing, and the
  /// tooltip has the whole name.
  static QString shortenedName(const QString &name, const QFontMetricsF &metrics, qreal width);

  static constexpr double nameMinWidth = 54, nameMinHeight = 28;
  static constexpr double sizeMinWidth = 72, sizeMinHeight = 44;
};

} // namespace tarnwick
