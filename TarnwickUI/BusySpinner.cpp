#include "TarnwickUI/BusySpinner.h"

#include "TarnwickUI/WidgetStyle.h"

#include <QPainter>
#include <QTimer>

namespace tarnwick {

BusySpinner::BusySpinner(int diameter, QWidget *parent) : QWidget(parent), timer_(new QTimer(this)) {
  setFixedSize(diameter, diameter);
  timer_->setInterval(16);
  connect(timer_, &QTimer::timeout, this, [this] {
    angle_ = (angle_ + 6) % 360;
    update();
  });
}

void BusySpinner::showEvent(QShowEvent *) { timer_->start(); }
void BusySpinner::hideEvent(QHideEvent *) { timer_->stop(); }

void BusySpinner::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const double stroke = std::max(2.0, width() / 9.0);
  const QRectF ring = QRectF(rect()).adjusted(stroke, stroke, -stroke, -stroke);
  painter.setPen(QPen(WidgetStyle::ink(0.12), stroke, Qt::SolidLine, Qt::RoundCap));
  painter.drawEllipse(ring);
  painter.setPen(QPen(WidgetStyle::primaryText(), stroke, Qt::SolidLine, Qt::RoundCap));
  painter.drawArc(ring, -angle_ * 16, 100 * 16);
}

} // namespace tarnwick
