#include "TarnwickUI/ElidedLabel.h"

#include <QEvent>
#include <QFontMetrics>
#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

namespace tarnwick {

ElidedLabel::ElidedLabel(Qt::TextElideMode mode, QWidget *parent) : QLabel(parent), mode_(mode) {
  setTextFormat(Qt::PlainText);
}

void ElidedLabel::setFullText(const QString &text) {
  fullText_ = text;
  elide();
  updateGeometry();
}

int ElidedLabel::widthFor(const QString &text) const {
  const QMargins margins = contentsMargins();
  // Rounded up: elidedText() keeps a text whole only when all of it fits,
  // and the whole-pixel advance can be less by a fraction.
  const int textWidth = int(std::ceil(QFontMetricsF(font()).horizontalAdvance(text)));
  return textWidth + margins.left() + margins.right() + 2 * margin();
}

QSize ElidedLabel::sizeHint() const { return {widthFor(fullText_), QLabel::sizeHint().height()}; }

QSize ElidedLabel::minimumSizeHint() const {
  return {std::min(widthFor(QStringLiteral("…")), widthFor(fullText_)), QLabel::minimumSizeHint().height()};
}

void ElidedLabel::resizeEvent(QResizeEvent *event) {
  QLabel::resizeEvent(event);
  elide();
}

void ElidedLabel::changeEvent(QEvent *event) {
  QLabel::changeEvent(event);
  if (event->type() == QEvent::FontChange)
    elide();
}

void ElidedLabel::elide() {
  // Before its first layout the width is a default one: the layout's resize
  // elides again.
  const QString shown = QFontMetrics(font()).elidedText(fullText_, mode_, contentsRect().width() - 2 * margin());
  if (shown != text())
    setText(shown);
}

} // namespace tarnwick
