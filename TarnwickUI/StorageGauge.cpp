#include "TarnwickUI/StorageGauge.h"

#include "TarnwickUI/TreemapPalette.h"
#include "TarnwickUI/WidgetStyle.h"

#include <QFontMetrics>
#include <QPainter>

namespace tarnwick {
namespace {

using namespace WidgetStyle;

constexpr int padding = 14, rowSpacing = 8, barHeight = 8;

int titleRowHeight() { return QFontMetrics(textFont(13, QFont::Black)).height(); }
int legendHeight() { return std::max(6, QFontMetrics(textFont(9, QFont::Medium)).height()); }

} // namespace

std::array<StorageGauge::Segment, 4> StorageGauge::segments() {
  return {{{TreemapPalette::electricIndigo(), 0.35, "Dev"},
           {TreemapPalette::sunsetCoral(), 0.25, "Media"},
           {TreemapPalette::cyanTeal(), 0.15, "Docker"},
           {TreemapPalette::emeraldGreen(), 0.10, "Cache"}}};
}

StorageGauge::StorageGauge(QWidget *parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void StorageGauge::setTotalBytes(std::int64_t bytes) {
  totalBytes_ = bytes;
  update();
}

QString StorageGauge::totalText() const { return TreemapPalette::formatBytes(totalBytes_); }

QSize StorageGauge::sizeHint() const {
  return {290, 2 * padding + titleRowHeight() + rowSpacing + barHeight + rowSpacing + 2 + legendHeight()};
}

void StorageGauge::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const int width = this->width() - 2 * padding;
  int y = padding;

  const int titleRow = titleRowHeight();
  painter.setFont(textFont(11, QFont::Medium));
  painter.setPen(secondaryText());
  painter.drawText(QRect(padding, y, width, titleRow), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Total Scanned"));
  painter.setFont(textFont(13, QFont::Black));
  painter.setPen(primaryText());
  painter.drawText(QRect(padding, y, width, titleRow), Qt::AlignRight | Qt::AlignVCenter, totalText());
  y += titleRow + rowSpacing;

  painter.setPen(Qt::NoPen);
  painter.setBrush(white(0.1));
  painter.drawRoundedRect(QRectF(padding, y, width, barHeight), 4, 4);
  double x = padding;
  for (const Segment &segment : segments()) {
    const double segmentWidth = width * segment.share;
    painter.setBrush(segment.color);
    painter.drawRoundedRect(QRectF(x, y, segmentWidth, barHeight), 3, 3);
    x += segmentWidth + 1;
  }
  y += barHeight + rowSpacing + 2;

  const QFont legendFont = textFont(9, QFont::Medium);
  painter.setFont(legendFont);
  const int line = legendHeight();
  x = padding;
  for (const Segment &segment : segments()) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(segment.color);
    painter.drawEllipse(QRectF(x, y + (line - 6) / 2.0, 6, 6));
    x += 6 + 3;
    painter.setPen(secondaryText());
    const QString label = QString::fromLatin1(segment.legend);
    painter.drawText(QRectF(x, y, 80, line), Qt::AlignLeft | Qt::AlignVCenter, label);
    x += QFontMetrics(legendFont).horizontalAdvance(label) + 8;
  }
}

} // namespace tarnwick
