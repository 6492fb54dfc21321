#include "TarnwickUI/TreemapTooltip.h"

#include "TarnwickCore/Catalogue/CleanableCategory.h"
#include "TarnwickUI/CategoryTitle.h"
#include "TarnwickUI/SymbolIcons.h"
#include "TarnwickUI/ChangesModel.h"
#include "TarnwickUI/TreemapPalette.h"
#include "TarnwickUI/WidgetStyle.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGraphicsDropShadowEffect>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>

#include <algorithm>

namespace tarnwick {
namespace {

constexpr int padding = 12, spacing = 6, panelWidth = 260;
constexpr int innerWidth = panelWidth - 2 * padding;

using namespace WidgetStyle;

QColor secondary() { return secondaryText(); }
// The tooltip colour of the variant, a little translucent over the treemap.
QColor tooltipFill() {
  QColor fill = QApplication::palette().color(QPalette::ToolTipBase);
  fill.setAlphaF(0.9f);
  return fill;
}
// Cyan reads on the dark tooltip only; a deep teal on the light one.
QColor hintCyan() {
  return currentTone() == Tone::light ? QColor(0x00, 0x6d, 0x7a) : QColor::fromRgbF(0.0f, 1.0f, 1.0f, 0.9f);
}

// Line heights of the stacked rows, top to bottom.
int headerHeight() { return std::max(QFontMetrics(textFont(10, QFont::Bold, Design::monospaced)).height() + 4, 14); }
int nameHeight() { return QFontMetrics(textFont(13, QFont::Bold)).height(); }
int sizeRowHeight() { return QFontMetrics(textFont(14, QFont::Black)).height(); }
int hintHeight() { return QFontMetrics(textFont(9, QFont::Medium)).height() + 2; }

} // namespace

TreemapTooltip::Content TreemapTooltip::contentFor(const TreemapRect &tile) {
  Content content;
  const DiskNode &node = tile.node;
  const std::optional<CleanableCategory> category =
      node.categoryHint || !tile.isAggregatedTail ? TreemapPalette::categoryOf(node) : std::nullopt;
  if (category) {
    content.symbol = QString::fromUtf8(sfSymbolName(*category).data(), qsizetype(sfSymbolName(*category).size()));
    content.symbolTint = TreemapPalette::color(*category);
    content.categoryLabel = categoryTitle(*category);
  } else if (!tile.isAggregatedTail) {
    // Nothing says what it is: it is named for what it is, in the tile's colour.
    content.symbol = node.isDirectory ? QStringLiteral("folder.fill") : QStringLiteral("doc.fill");
    content.symbolTint = TreemapPalette::tileColor(tile, 0, true);
    content.categoryLabel = node.isDirectory ? tr("Folder") : tr("File");
  } else {
    content.symbol = QStringLiteral("square.stack.3d.down.right.fill");
    content.symbolTint = QColor(Qt::gray);
    content.categoryLabel = tr("Sub-pixel Aggregated Tail");
  }
  content.percentage = TreemapPalette::formatPercentage(tile.fractionOfParent);
  content.name = displayText(node.name);
  content.size = TreemapPalette::formatBytes(node.allocatedSize);
  const std::int64_t count = tile.isAggregatedTail ? tile.aggregatedItemCount : node.isDirectory ? node.fileCount : 1;
  content.count = TreemapPalette::formatItemCount(count, node.isDirectory);
  content.showsDrillHint = node.isDirectory || tile.isAggregatedTail; // a tail opens on its own
  return content;
}

QPointF TreemapTooltip::centreFor(QPointF cursor, QSizeF canvas) {
  double x = cursor.x() + 18;
  if (x + nominalWidth > canvas.width()) {
    x = cursor.x() - nominalWidth - 18;
    if (x < 10)
      x = 10;
  }
  double y = cursor.y() + 18;
  if (y + nominalHeight > canvas.height())
    y = std::max(cursor.y() - nominalHeight - 18, 10.0);
  return {x + nominalWidth / 2, y + nominalHeight / 2};
}

TreemapTooltip::TreemapTooltip(QWidget *parent) : QWidget(parent), fade_(new QPropertyAnimation(this, "panelOpacity", this)) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_NoSystemBackground);
  setFocusPolicy(Qt::NoFocus);
  auto *shadow = new QGraphicsDropShadowEffect(this);
  shadow->setColor(QColor::fromRgbF(0, 0, 0, 0.45f));
  shadow->setBlurRadius(14);
  shadow->setOffset(0, 7);
  setGraphicsEffect(shadow);
  fade_->setDuration(120);
  fade_->setEasingCurve(QEasingCurve::InOutQuad);
  connect(fade_, &QPropertyAnimation::finished, this, [this] {
    if (opacity_ <= 0)
      hide();
  });
  hide();
}

int TreemapTooltip::contentHeight() const {
  int height = 2 * padding + headerHeight() + spacing + nameHeight() + spacing + sizeRowHeight();
  if (content_.showsDrillHint)
    height += spacing + hintHeight();
  return height;
}

namespace {

// "+1.2 MB (was 3 MB)", "New", … for the newer tree's node `id`: short
// enough for the category's line.
QString changeLine(const TreeComparison &comparison, NodeID id) {
  const std::optional<std::int64_t> before = comparison.olderSize(id);
  if (!before)
    return TreemapTooltip::tr("New");
  const std::int64_t after = comparison.newer().record(id).allocatedSize;
  if (after == *before)
    return TreemapTooltip::tr("Unchanged");
  return TreemapTooltip::tr("%1 (was %2)").arg(ChangesModel::signedBytes(after - *before),
                                               TreemapPalette::formatBytes(*before));
}

} // namespace

void TreemapTooltip::present(const std::optional<TreemapRect> &tile, const QString &name,
                             const ChangeColouring &changes) {
  presenting_ = tile.has_value();
  if (tile) {
    content_ = contentFor(*tile);
    if (!name.isEmpty())
      content_.name = name;
    if (const std::optional<QColor> fill = tile->isAggregatedTail ? std::nullopt : changes.fill(tile->id)) {
      content_.categoryLabel = changeLine(*changes.comparison(), tile->id);
      content_.symbolTint = *fill;
    }
    resize(panelWidth, contentHeight());
    show();
    raise();
    update();
  }
  fadeTo(presenting_ ? 1.0 : 0.0);
}

void TreemapTooltip::follow(QPointF cursor) {
  const QPointF centre = centreFor(cursor, parentWidget() ? QSizeF(parentWidget()->size()) : QSizeF());
  move(qRound(centre.x() - width() / 2.0), qRound(centre.y() - height() / 2.0));
}

void TreemapTooltip::setPanelOpacity(qreal opacity) {
  opacity_ = opacity;
  update();
}

void TreemapTooltip::fadeTo(qreal target) {
  if (fade_->state() == QAbstractAnimation::Running && fade_->endValue().toReal() == target)
    return;
  fade_->stop();
  fade_->setStartValue(opacity_);
  fade_->setEndValue(target);
  fade_->start();
}

void TreemapTooltip::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setOpacity(opacity_);
  const QRectF panel = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  QPainterPath shape;
  shape.addRoundedRect(panel, 10, 10);
  // No system material here: a translucent fill stands in for it.
  painter.fillPath(shape, tooltipFill());
  painter.strokePath(shape, QPen(ink(0.18), 1));

  const qreal dpr = devicePixelRatioF();
  int y = padding;
  // Header: category symbol and title, then the share badge at the right.
  const int header = headerHeight();
  painter.drawPixmap(padding, y + (header - 11) / 2, SymbolIcons::tinted(content_.symbol.toStdString(), 11, content_.symbolTint, dpr));
  painter.setFont(textFont(10, QFont::DemiBold));
  painter.setPen(secondary());
  const QFont badgeFont = textFont(10, QFont::Bold, Design::monospaced);
  const int badgeWidth = QFontMetrics(badgeFont).horizontalAdvance(content_.percentage) + 10;
  const QRect labelBox(padding + 17, y, innerWidth - 17 - badgeWidth - 6, header);
  painter.drawText(labelBox, Qt::AlignLeft | Qt::AlignVCenter,
                   QFontMetrics(painter.font()).elidedText(content_.categoryLabel, Qt::ElideRight, labelBox.width()));
  const QRectF badge(panelWidth - padding - badgeWidth, y + (header - 16) / 2.0, badgeWidth, 16);
  painter.setPen(Qt::NoPen);
  painter.setBrush(ink(0.12));
  painter.drawRoundedRect(badge, 8, 8);
  painter.setFont(badgeFont);
  painter.setPen(primaryText());
  painter.drawText(badge, Qt::AlignCenter, content_.percentage);
  y += header + spacing;

  // Name, on one line, shortened in the middle.
  painter.setFont(textFont(13, QFont::Bold));
  painter.setPen(palette().color(QPalette::WindowText));
  painter.drawText(QRect(padding, y, innerWidth, nameHeight()), Qt::AlignLeft | Qt::AlignVCenter,
                   QFontMetrics(painter.font()).elidedText(content_.name, Qt::ElideMiddle, innerWidth));
  y += nameHeight() + spacing;

  // Size • count.
  const QFont sizeFont = textFont(14, QFont::Black);
  painter.setFont(sizeFont);
  painter.setPen(primaryText());
  const int sizeRow = sizeRowHeight();
  painter.drawText(QRect(padding, y, innerWidth, sizeRow), Qt::AlignLeft | Qt::AlignVCenter, content_.size);
  int x = padding + QFontMetrics(sizeFont).horizontalAdvance(content_.size) + 8;
  painter.setFont(textFont(11, QFont::Medium));
  painter.setPen(secondary());
  painter.drawText(QRect(x, y, innerWidth, sizeRow), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("•"));
  x += QFontMetrics(painter.font()).horizontalAdvance(QStringLiteral("•")) + 8;
  painter.drawText(QRect(x, y, panelWidth - padding - x, sizeRow), Qt::AlignLeft | Qt::AlignVCenter, content_.count);
  y += sizeRow;

  if (content_.showsDrillHint) {
    y += spacing + 2;
    const int line = hintHeight() - 2;
    painter.drawPixmap(padding, y + (line - 9) / 2, SymbolIcons::tinted("hand.tap.fill", 9, hintCyan(), dpr));
    painter.setFont(textFont(9, QFont::Medium));
    painter.setPen(hintCyan());
    painter.drawText(QRect(padding + 13, y, innerWidth - 13, line), Qt::AlignLeft | Qt::AlignVCenter,
                     tr("Click to drill down"));
  }
}

} // namespace tarnwick
