#include "TarnwickUI/BreadcrumbCrumbButton.h"

#include "TarnwickUI/SymbolIcons.h"
#include "TarnwickUI/WidgetStyle.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace tarnwick {
namespace {

constexpr int glyphSize = 11;
constexpr int glyphGap = 4;
constexpr int horizontalPadding = 6;
constexpr int verticalPadding = 4;
constexpr qreal cornerRadius = 5;

QColor withOpacity(QColor colour, qreal opacity) {
  colour.setAlphaF(float(colour.alphaF() * opacity));
  return colour;
}

const char *symbolFor(BreadcrumbCrumbButton::Glyph glyph) {
  switch (glyph) {
  case BreadcrumbCrumbButton::Glyph::drive:
    return "internaldrive.fill";
  case BreadcrumbCrumbButton::Glyph::folder:
    return "folder.fill";
  case BreadcrumbCrumbButton::Glyph::none:
    break;
  }
  return nullptr;
}

// `name` in lines of at most `length` characters: a tooltip does not wrap,
// and a long name in one line runs off the screen. A character outside the
// Basic Multilingual Plane (two code units) is never split.
QString inLines(const QString &name, qsizetype length) {
  QString lines;
  for (qsizetype start = 0; start < name.size();) {
    qsizetype end = std::min(start + length, name.size());
    if (end < name.size() && name.at(end).isLowSurrogate())
      --end;
    if (!lines.isEmpty())
      lines += QLatin1Char('\n');
    lines += name.mid(start, end - start);
    start = end;
  }
  return lines;
}

} // namespace

BreadcrumbCrumbButton::BreadcrumbCrumbButton(const QString &name, Glyph glyph, bool isCurrent, QWidget *parent)
    : QAbstractButton(parent), glyph_(glyph), isCurrent_(isCurrent) {
  setText(name);
  setAccessibleName(name);
  QFont crumbFont = font();
  crumbFont.setPixelSize(12);
  crumbFont.setWeight(isCurrent ? QFont::Bold : QFont::Medium);
  setFont(crumbFont);
  if (QFontMetricsF(crumbFont).horizontalAdvance(name) > maximumTextWidth)
    setToolTip(inLines(name, 64)); // what the elided name leaves out
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  setFocusPolicy(Qt::TabFocus);
}

QColor BreadcrumbCrumbButton::secondaryTextColor(const QPalette &palette) {
  return withOpacity(palette.color(QPalette::WindowText), 0.55);
}

QSize BreadcrumbCrumbButton::sizeHint() const {
  const QFontMetricsF metrics(font());
  const qreal glyphWidth = glyph_ == Glyph::none ? 0 : glyphSize + glyphGap;
  const qreal textWidth = std::min<qreal>(metrics.horizontalAdvance(text()), maximumTextWidth);
  const qreal width = 2 * horizontalPadding + glyphWidth + textWidth;
  const qreal height = 2 * verticalPadding + std::max<qreal>(metrics.height(), glyphSize);
  return {int(std::ceil(width)), int(std::ceil(height))};
}

qreal BreadcrumbCrumbButton::textLeft() const {
  return horizontalPadding + (glyph_ == Glyph::none ? 0 : glyphSize + glyphGap);
}

QString BreadcrumbCrumbButton::shownText() const {
  // Middle: a name's start and its end (a version, a date) both tell it apart.
  const qreal room = width() - textLeft() - horizontalPadding;
  return QFontMetricsF(font()).elidedText(text(), Qt::ElideMiddle, std::max<qreal>(room, 0));
}

void BreadcrumbCrumbButton::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QPalette &colours = palette();
  const QColor accent = colours.color(QPalette::Highlight);

  QPainterPath pill;
  pill.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
  painter.fillPath(pill, isCurrent_ ? withOpacity(accent, 0.18) : withOpacity(WidgetStyle::ink(1), 0.04));
  if (hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange)) { // keyboard focus only
    painter.setPen(QPen(accent, 1));
    painter.drawPath(pill);
  }

  if (const char *symbol = symbolFor(glyph_)) {
    const QColor tint = glyph_ == Glyph::drive ? accent : secondaryTextColor(colours);
    const QPixmap picture = SymbolIcons::tinted(symbol, glyphSize, tint, devicePixelRatioF());
    painter.drawPixmap(QPointF(horizontalPadding, (height() - glyphSize) / 2.0), picture);
  }
  painter.setPen(isCurrent_ ? colours.color(QPalette::WindowText) : secondaryTextColor(colours));
  const qreal x = textLeft();
  painter.drawText(QRectF(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter, shownText());
}

} // namespace tarnwick
