#include "TarnwickUI/TreemapTilePainter.h"

#include "TarnwickUI/TreemapPalette.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace tarnwick {
namespace {

QRectF toQt(const CanvasRect &r) { return {r.x, r.y, r.width, r.height}; }

QColor white(double opacity) { return QColor::fromRgbF(1, 1, 1, float(opacity)); }

QFont labelFont(double pointSize, QFont::Weight weight, bool monospaced) {
  QFont font;
  if (monospaced)
    font.setStyleHint(QFont::Monospace);
  font.setPixelSize(std::max(1, static_cast<int>(pointSize + 0.5)));
  font.setWeight(weight);
  return font;
}

} // namespace

void TreemapTilePainter::paintLabels(QPainter &painter, const QRectF &box, const QString &text, std::int64_t bytes,
                                     const QColor &fill) {
  const double w = box.width(), h = box.height();
  if (!(w > nameMinWidth && h > nameMinHeight))
    return;
  // A label stays inside its tile: shortened in the middle to the room left
  // of the margins, and clipped to the tile for what a glyph's overhang adds.
  constexpr double margin = 8;
  const double room = w - 2 * margin;
  painter.save();
  painter.setClipRect(box, Qt::IntersectClip);
  const double nameSize = std::min(std::max(h * 0.18, 9.0), 12.0);
  const QFont nameFont = labelFont(nameSize, QFont::DemiBold, false);
  const QFontMetricsF metrics(nameFont);
  const QString name = metrics.elidedText(text, Qt::ElideMiddle, room);
  painter.setFont(nameFont);
  // Both lines opaque, in whichever of white and black reads on the fill.
  const QColor ink = TreemapPalette::labelColor(fill);
  painter.setPen(ink);
  if (w > sizeMinWidth && h > sizeMinHeight) {
    // Two lines, each placed by its top-left corner.
    painter.drawText(QPointF(box.left() + margin, box.top() + 10 + metrics.ascent()), name);
    const double sizeSize = std::min(std::max(h * 0.13, 8.0), 10.0);
    const QFont sizeFont = labelFont(sizeSize, QFont::Medium, true);
    const QFontMetricsF sizeMetrics(sizeFont);
    painter.setFont(sizeFont);
    painter.drawText(QPointF(box.left() + margin, box.top() + 10 + nameSize + 4 + sizeMetrics.ascent()),
                     sizeMetrics.elidedText(TreemapPalette::formatBytes(bytes), Qt::ElideRight, room));
  } else {
    const double baseline = box.center().y() + (metrics.ascent() - metrics.descent()) / 2;
    painter.drawText(QPointF(box.left() + margin, baseline), name);
  }
  painter.restore();
}

namespace {

QPainterPath tileShape(const QRectF &box) {
  const double radius = std::min(std::min(box.width(), box.height()) * 0.15, 6.0);
  QPainterPath shape;
  shape.addRoundedRect(box, radius, radius);
  return shape;
}

void strokeOutline(QPainter &painter, const QPainterPath &shape, bool selected) {
  painter.strokePath(shape, QPen(selected ? QColor(Qt::cyan) : white(1), 2));
}

} // namespace

void TreemapTilePainter::paintOutline(QPainter &painter, const TreemapRect &tile, bool selected) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  strokeOutline(painter, tileShape(toQt(tile.insetFrame)), selected);
  painter.restore();
}

void TreemapTilePainter::paint(QPainter &painter, std::span<const TreemapRect> rects, std::optional<NodeID> hoveredID,
                               std::optional<NodeID> selectedID) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  for (const TreemapRect &tile : rects) {
    const bool hovered = hoveredID && *hoveredID == tile.id;
    const bool selected = selectedID && *selectedID == tile.id;
    const QRectF box = toQt(tile.insetFrame);
    const QPainterPath shape = tileShape(box);

    painter.fillPath(shape, TreemapPalette::tileColor(tile, 0, hovered));

    QLinearGradient bevel(QPointF(box.center().x(), box.top()), QPointF(box.center().x(), box.bottom()));
    bevel.setColorAt(0.0, white(hovered ? 0.4 : 0.2));
    bevel.setColorAt(0.5, white(0.04));
    bevel.setColorAt(1.0, QColor::fromRgbF(0, 0, 0, 0.3f));
    painter.strokePath(shape, QPen(QBrush(bevel), 1));

    // The fill is nearly opaque: read as opaque for the label's colour.
    paintLabels(painter, box, QString::fromStdString(tile.node.name), tile.node.allocatedSize,
                TreemapPalette::tileColor(tile, 0, hovered));

    if (selected || hovered)
      strokeOutline(painter, shape, selected);
  }
  painter.restore();
}

} // namespace tarnwick
