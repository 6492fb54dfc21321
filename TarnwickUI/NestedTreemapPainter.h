#pragma once

#include "TarnwickUI/CanvasGeometry.h"
#include "TarnwickUI/ChangeColouring.h"

#include <QColor>
#include <QFontMetricsF>
#include <QImage>
#include <QString>

#include <cstddef>
#include <optional>
#include <string>

class QPainter;

namespace tarnwick {

class NestedTreemapScene;

/// Draws a nested treemap: folders as shaded frames with their name in a
/// header strip where there is room, darker at every level so the
/// hierarchy reads at a glance; files in their category's colour with a
/// one-point bevel; tails in charcoal. Plain rectangles, no antialiasing:
/// a scene holds tens of thousands of tiles and is drawn in one pass.
///
/// Threads: any thread that may use the painter's device; needs a
/// QGuiApplication for text.
class NestedTreemapPainter {
public:
  struct Highlight {
    /// fileTypeOf() of the files to bring forward; every other tile is
    /// mixed with `dim`.
    std::optional<std::string> fileType;
    QColor dim;
    /// Fills by change in place of the categories' colours, when it
    /// describes the scene's tree.
    ChangeColouring changes;
  };

  static void paint(QPainter &painter, const NestedTreemapScene &scene, const Highlight &highlight = {});
  /// The scene's tiles at rest on a transparent image of `size` device
  /// pixels at `pixelRatio`.
  static QImage paintLayer(const NestedTreemapScene &scene, QSize size, qreal pixelRatio,
                           const Highlight &highlight = {});
  /// The fill of tile `index` at rest, before any dimming.
  static QColor fillColor(const NestedTreemapScene &scene, std::size_t index, const ChangeColouring &changes = {});
  /// A folder's header for a strip `width` wide: "name  size" when it fits;
  /// else the name shortened in the middle before a whole size; else, with
  /// no room for the size beside four letters of the name, the shortened
  /// name alone; nothing where not even that fits. A size is never cut.
  static QString headerText(const QString &name, const QString &size, const QFontMetricsF &metrics, qreal width);
  /// The hover wash and outline (white) or the selection outline (cyan)
  /// around `frame`, over tiles painted earlier.
  static void paintMark(QPainter &painter, const CanvasRect &frame, bool selected);
};

} // namespace tarnwick
