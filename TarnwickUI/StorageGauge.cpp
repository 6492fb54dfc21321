#include "TarnwickUI/StorageGauge.h"

#include "TarnwickUI/TreemapPalette.h"
#include "TarnwickUI/WidgetStyle.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace tarnwick {
namespace {

using namespace WidgetStyle;
using Group = CategoryShares::Group;

constexpr int padding = 14, rowSpacing = 8, barHeight = 8, legendColumns = 2, segmentGap = 1;

int titleRowHeight() { return QFontMetrics(textFont(13, QFont::Black)).height(); }
int legendHeight() { return std::max(6, QFontMetrics(textFont(9, QFont::Medium)).height()); }
int legendRows(std::size_t entries) { return int((entries + legendColumns - 1) / legendColumns); }

} // namespace

StorageGauge::StorageGauge(QWidget *parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void StorageGauge::setTotalBytes(std::int64_t bytes) {
  totalBytes_ = bytes;
  update();
}

void StorageGauge::setShares(const CategoryShares &shares) {
  const std::size_t rowsBefore = std::size_t(legendRows(segments_.size()));
  segments_.clear();
  const std::int64_t total = shares.total();
  std::vector<Group> groups;
  for (std::size_t i = 0; i < CategoryShares::groupCount; ++i)
    if (shares.bytes(Group(i)) > 0)
      groups.push_back(Group(i));
  // Largest first; what no category describes closes the bar.
  std::stable_sort(groups.begin(), groups.end(), [&](Group a, Group b) {
    if ((a == Group::other) != (b == Group::other))
      return b == Group::other;
    return shares.bytes(a) > shares.bytes(b);
  });
  for (Group group : groups)
    segments_.push_back({CategoryShares::color(group), double(shares.bytes(group)) / double(total),
                         CategoryShares::title(group) + QLatin1Char(' ') + TreemapPalette::formatBytes(shares.bytes(group)),
                         group != Group::other});
  if (std::size_t(legendRows(segments_.size())) != rowsBefore)
    updateGeometry();
  update();
}

QString StorageGauge::totalText() const { return TreemapPalette::formatBytes(totalBytes_); }

QSize StorageGauge::sizeHint() const {
  const int rows = legendRows(segments_.size());
  const int legend = rows == 0 ? 0 : rowSpacing + 2 + rows * legendHeight() + (rows - 1) * 4;
  return {290, 2 * padding + titleRowHeight() + rowSpacing + barHeight + legend};
}

void StorageGauge::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const int width = this->width() - 2 * padding;
  int y = padding;

  const int titleRow = titleRowHeight();
  painter.setFont(textFont(11, QFont::Medium));
  painter.setPen(secondaryText());
  painter.drawText(QRect(padding, y, width, titleRow), Qt::AlignLeft | Qt::AlignVCenter, tr("Total Scanned"));
  painter.setFont(textFont(13, QFont::Black));
  painter.setPen(primaryText());
  painter.drawText(QRect(padding, y, width, titleRow), Qt::AlignRight | Qt::AlignVCenter, totalText());
  y += titleRow + rowSpacing;

  painter.setPen(Qt::NoPen);
  painter.setBrush(ink(0.1));
  painter.drawRoundedRect(QRectF(padding, y, width, barHeight), 4, 4);
  // The gaps between segments come out of the bar, so the shares fill it.
  const double filled = width - segmentGap * std::max(0.0, double(segments_.size()) - 1);
  double x = padding;
  for (const Segment &segment : segments_) {
    if (!segment.filled)
      break; // "Other" comes last: the track shows through
    const double segmentWidth = filled * segment.share;
    painter.setBrush(segment.color);
    painter.drawRoundedRect(QRectF(x, y, segmentWidth, barHeight), 3, 3);
    x += segmentWidth + segmentGap;
  }
  y += barHeight + rowSpacing + 2;

  const QFont legendFont = textFont(9, QFont::Medium);
  painter.setFont(legendFont);
  const QFontMetrics metrics(legendFont);
  const int line = legendHeight();
  const int columnWidth = width / legendColumns;
  for (std::size_t i = 0; i < segments_.size(); ++i) {
    const int left = padding + int(i % legendColumns) * columnWidth;
    const int top = y + int(i / legendColumns) * (line + 4);
    // "Other" gets a ring, like the bare track it stands for.
    painter.setPen(segments_[i].filled ? QPen(Qt::NoPen) : QPen(secondaryText(), 1));
    painter.setBrush(segments_[i].filled ? QBrush(segments_[i].color) : QBrush(Qt::NoBrush));
    painter.drawEllipse(QRectF(left + 0.5, top + (line - 6) / 2.0 + 0.5, 5, 5));
    painter.setPen(secondaryText());
    const int textWidth = columnWidth - 6 - 3 - 6;
    painter.drawText(QRect(left + 9, top, textWidth, line), Qt::AlignLeft | Qt::AlignVCenter,
                     metrics.elidedText(segments_[i].legend, Qt::ElideMiddle, textWidth));
  }
}

} // namespace tarnwick
