#include "TarnwickUI/TreemapTilePainter.h"

#include "TarnwickUI/TreemapPalette.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <map>
#include <tuple>

namespace tarnwick {
namespace {

QRectF toQt(const CanvasRect &r) { return {r.x, r.y, r.width, r.height}; }

QColor white(double opacity) { return QColor::fromRgbF(1, 1, 1, float(opacity)); }

struct LabelFont {
  QFont font;
  QFontMetricsF metrics;
};

// Labels come in a few whole pixel sizes; a font and its metrics made once
// per size, not per tile, spare a font lookup in each of thousands of
// labels. One cache per painting thread.
const LabelFont &labelFont(double pixelSize, QFont::Weight weight, bool monospaced) {
  thread_local std::map<std::tuple<int, int, bool>, LabelFont> cache;
  const int pixels = std::max(1, static_cast<int>(pixelSize + 0.5));
  const std::tuple key{pixels, int(weight), monospaced};
  if (const auto found = cache.find(key); found != cache.end())
    return found->second;
  QFont font;
  if (monospaced)
    font.setStyleHint(QFont::Monospace);
  font.setPixelSize(pixels);
  font.setWeight(weight);
  return cache.emplace(key, LabelFont{font, QFontMetricsF(font)}).first->second;
}

} // namespace

QString TreemapTilePainter::shortenedName(const QString &name, const QFontMetricsF &metrics, qreal width) {
  const QString shortened = metrics.elidedText(name, Qt::ElideMiddle, width);
  return shortened == name || shortened.size() >= 5 ? shortened : QString(); // four letters and the ellipsis
}

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
  const LabelFont &nameStyle = labelFont(nameSize, QFont::DemiBold, false);
  const QFont &nameFont = nameStyle.font;
  const QFontMetricsF &metrics = nameStyle.metrics;
  const QString name = shortenedName(text, metrics, room);
  if (name.isEmpty()) {
    painter.restore();
    return;
  }
  painter.setFont(nameFont);
  // Both lines opaque, in whichever of white and black reads on the fill.
  const QColor ink = TreemapPalette::labelColor(fill);
  painter.setPen(ink);
  if (w > sizeMinWidth && h > sizeMinHeight) {
    // Two lines, each placed by its top-left corner.
    painter.drawText(QPointF(box.left() + margin, box.top() + 10 + metrics.ascent()), name);
    const double sizeSize = std::min(std::max(h * 0.13, 8.0), 10.0);
    const LabelFont &sizeStyle = labelFont(sizeSize, QFont::Medium, true);
    const QFont &sizeFont = sizeStyle.font;
    const QFontMetricsF &sizeMetrics = sizeStyle.metrics;
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

// The category's fill, or the change's at the same opacity.
QColor fillOf(const TreemapRect &tile, bool hovered, const ChangeColouring &changes) {
  QColor fill = TreemapPalette::tileColor(tile, 0, hovered);
  if (tile.isAggregatedTail)
    return fill;
  if (std::optional<QColor> changed = changes.fill(tile.id)) {
    changed->setAlphaF(fill.alphaF());
    return *changed;
  }
  return fill;
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
                               std::optional<NodeID> selectedID, const ChangeColouring &changes) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  for (const TreemapRect &tile : rects) {
    const bool hovered = hoveredID && *hoveredID == tile.id;
    const bool selected = selectedID && *selectedID == tile.id;
    const QRectF box = toQt(tile.insetFrame);
    const QPainterPath shape = tileShape(box);

    const QColor fill = fillOf(tile, hovered, changes);
    painter.fillPath(shape, fill);

    QLinearGradient bevel(QPointF(box.center().x(), box.top()), QPointF(box.center().x(), box.bottom()));
    bevel.setColorAt(0.0, white(hovered ? 0.4 : 0.2));
    bevel.setColorAt(0.5, white(0.04));
    bevel.setColorAt(1.0, QColor::fromRgbF(0, 0, 0, 0.3f));
    painter.strokePath(shape, QPen(QBrush(bevel), 1));

    // The fill is nearly opaque: read as opaque for the label's colour.
    paintLabels(painter, box, QString::fromStdString(tile.node.name), tile.node.allocatedSize, fill);

    if (selected || hovered)
      strokeOutline(painter, shape, selected);
  }
  painter.restore();
}

} // namespace tarnwick
