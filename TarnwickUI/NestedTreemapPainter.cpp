#include "TarnwickUI/NestedTreemapPainter.h"

#include "TarnwickCore/Tree/FileTypeUsage.h"
#include "TarnwickUI/NestedTreemapScene.h"
#include "TarnwickUI/SquarifiedTreemapLayout.h"
#include "TarnwickUI/TreemapPalette.h"
#include "TarnwickUI/TreemapTilePainter.h"
#include "TarnwickUI/WidgetStyle.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

namespace tarnwick {
namespace {

constexpr auto mix = &TreemapPalette::mix;

QRectF toQt(const CanvasRect &r) { return {r.x, r.y, r.width, r.height}; }

// Whether tile `index` stays bright under the highlight.
bool isHighlighted(const NestedTreemapScene &scene, std::size_t index, const NestedTreemapPainter::Highlight &highlight) {
  const NestedTile &tile = scene.tiles()[index];
  return !highlight.fileType || (!tile.isDirectory && tile.id != SquarifiedTreemapLayout::syntheticTailNodeID &&
                                 fileTypeOf(scene.arena()->name(tile.id)) == *highlight.fileType);
}

void paintHeader(QPainter &painter, const NestedTreemapScene &scene, const NestedTile &tile, const QFont &font,
                 const QFontMetricsF &metrics) {
  const NestedTreemapLayout::Options &options = scene.options();
  const CanvasRect inner = NestedTreemapLayout::innerArea(tile.frame, options);
  const bool hasHeader = inner.width > 0 && inner.y - tile.frame.y > options.padding + 0.5;
  if (!hasHeader || tile.frame.width < 40)
    return;
  const QRectF strip(tile.frame.x + options.padding + 2, tile.frame.y + options.padding,
                     tile.frame.width - 2 * options.padding - 4, options.headerHeight);
  const QString text = NestedTreemapPainter::headerText(WidgetStyle::displayText(scene.arena()->name(tile.id)),
                                                       TreemapPalette::formatBytes(tile.allocatedSize), metrics,
                                                       strip.width());
  painter.setFont(font);
  painter.drawText(strip, Qt::AlignLeft | Qt::AlignVCenter, text);
}

// Opaque edges a little lighter and darker than the face: a cushion that
// reads at any size, and solid fills cost far less than blended ones over
// tens of thousands of tiles.
void paintBevel(QPainter &painter, const QRectF &box, const QColor &fill) {
  if (box.width() < 6 || box.height() < 6)
    return;
  const QColor light = mix(fill, QColor(Qt::white), 0.2), dark = mix(fill, QColor(Qt::black), 0.25);
  painter.fillRect(QRectF(box.left(), box.top(), box.width(), 1), light);
  painter.fillRect(QRectF(box.left(), box.top(), 1, box.height()), light);
  painter.fillRect(QRectF(box.left(), box.bottom() - 1, box.width(), 1), dark);
  painter.fillRect(QRectF(box.right() - 1, box.top(), 1, box.height()), dark);
}

} // namespace

QString NestedTreemapPainter::headerText(const QString &name, const QString &size, const QFontMetricsF &metrics,
                                         qreal width) {
  const QString gapAndSize = QStringLiteral("  ") + size;
  if (metrics.horizontalAdvance(name + gapAndSize) <= width)
    return name + gapAndSize;
  const QString shortened =
      TreemapTilePainter::shortenedName(name, metrics, width - metrics.horizontalAdvance(gapAndSize));
  return shortened.isEmpty() ? TreemapTilePainter::shortenedName(name, metrics, width) : shortened + gapAndSize;
}

QColor NestedTreemapPainter::fillColor(const NestedTreemapScene &scene, std::size_t index,
                                       const ChangeColouring &changes) {
  const NestedTile &tile = scene.tiles()[index];
  if (tile.id == SquarifiedTreemapLayout::syntheticTailNodeID)
    return TreemapPalette::mutedCharcoal();
  std::optional<QColor> hue;
  const bool byChange = changes.isActive() && changes.describes(*scene.arena());
  if (byChange)
    hue = changes.fill(tile.id);
  else if (const std::optional<CleanableCategory> category = scene.category(index))
    hue = TreemapPalette::color(*category);
  if (tile.isDirectory) {
    // Folders are frames: a slate that darkens level by level (a folder of
    // a known category, or one that changed, keeps a hint of its colour).
    const QColor slate = mix(QColor::fromRgbF(0.36f, 0.40f, 0.46f), QColor(Qt::black), std::min(0.12 * tile.depth, 0.6));
    return hue ? mix(slate, *hue, byChange ? 0.5 : 0.35) : slate;
  }
  // Files: their hue, a little deeper with depth.
  const QColor fill = hue.value_or(TreemapPalette::color(CleanableCategory::userCache));
  return mix(fill, QColor(Qt::black), std::min(0.05 * tile.depth, 0.3));
}

QImage NestedTreemapPainter::paintLayer(const NestedTreemapScene &scene, QSize size, qreal pixelRatio,
                                        const Highlight &highlight) {
  QImage layer(size, QImage::Format_ARGB32_Premultiplied);
  layer.setDevicePixelRatio(pixelRatio);
  layer.fill(Qt::transparent);
  QPainter painter(&layer);
  paint(painter, scene, highlight);
  return layer;
}

void NestedTreemapPainter::paint(QPainter &painter, const NestedTreemapScene &scene, const Highlight &highlight) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setRenderHint(QPainter::TextAntialiasing);
  QFont headerFont;
  headerFont.setPixelSize(std::max(8, int(scene.options().headerHeight) - 4));
  headerFont.setWeight(QFont::DemiBold);
  const QFontMetricsF headerMetrics(headerFont);
  for (std::size_t i = 0; i < scene.tiles().size(); ++i) {
    const NestedTile &tile = scene.tiles()[i];
    const QRectF box = toQt(tile.frame);
    QColor fill = fillColor(scene, i, highlight.changes);
    if (!isHighlighted(scene, i, highlight))
      fill = mix(fill, highlight.dim, 0.7);
    if (tile.isDirectory) {
      // Opaque fills only: a blended frame under each folder would blend
      // the whole canvas once per level.
      painter.fillRect(box, mix(fill, QColor(Qt::black), 0.45));
      painter.fillRect(box.adjusted(1, 1, -1, -1), fill);
      painter.setPen(TreemapPalette::labelColor(fill));
      paintHeader(painter, scene, tile, headerFont, headerMetrics);
      continue;
    }
    // A hairline of the folder's colour between neighbours, once tiles
    // are wide enough to spare it.
    const QRectF face = box.width() > 3 && box.height() > 3 ? box.adjusted(0, 0, -0.5, -0.5) : box;
    painter.fillRect(face, fill);
    paintBevel(painter, face, fill);
    const bool hasRoom =
        face.width() > TreemapTilePainter::nameMinWidth && face.height() > TreemapTilePainter::nameMinHeight;
    if (hasRoom && tile.id != SquarifiedTreemapLayout::syntheticTailNodeID)
      TreemapTilePainter::paintLabels(painter, face, WidgetStyle::displayText(scene.arena()->name(tile.id)), tile.allocatedSize,
                                      fill);
  }
  painter.restore();
}

void NestedTreemapPainter::paintMark(QPainter &painter, const CanvasRect &frame, bool selected) {
  painter.save();
  const QRectF box = toQt(frame);
  if (!selected)
    painter.fillRect(box, QColor::fromRgbF(1, 1, 1, 0.16f));
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(selected ? QColor(Qt::cyan) : QColor(Qt::white), 2));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(box.adjusted(1, 1, -1, -1));
  painter.restore();
}

} // namespace tarnwick
