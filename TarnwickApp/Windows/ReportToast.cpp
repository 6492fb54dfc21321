#include "TarnwickApp/Windows/ReportToast.h"

#include "TarnwickUI/AppearanceController.h"
#include "TarnwickUI/SymbolIcons.h"
#include "TarnwickUI/WidgetStyle.h"

#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QPushButton>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>

namespace quillane {
namespace {

using namespace tarnwick::WidgetStyle;

constexpr int visibleMilliseconds = 6000;
constexpr int fadeMilliseconds = 180;
constexpr int toastMaximumWidth = 620;

// A name without spaces cannot wrap: one wider than the label would be cut
// off with its closing quote. Each quoted name is shortened in the middle,
// keeping its start and its extension, to fit one line of `width` with its
// quotes and the punctuation that may follow them.
struct ElidedText {
  QString text;
  int widestName = 0; // the widest quoted name with that punctuation, in pixels
};
ElidedText elideQuotedNames(const QString &text, const QFontMetrics &metrics, int width) {
  static const QRegularExpression quotedName(QStringLiteral("“([^”]*)”"));
  const int punctuation = metrics.horizontalAdvance(QStringLiteral("“”.,"));
  ElidedText elided;
  qsizetype from = 0;
  for (auto matches = quotedName.globalMatch(text); matches.hasNext();) {
    const QRegularExpressionMatch match = matches.next();
    QString name = metrics.elidedText(match.captured(1), Qt::ElideMiddle, width - punctuation);
    name.replace(QChar(0x2026), QStringLiteral("\u2026\u2060")); // no line break after the ellipsis
    elided.text += text.mid(from, match.capturedStart() - from) + QStringLiteral("“") + name + QStringLiteral("”");
    elided.widestName = std::max(elided.widestName, metrics.horizontalAdvance(name) + punctuation);
    from = match.capturedEnd();
  }
  elided.text += text.mid(from);
  return elided;
}

} // namespace

ReportToast::ReportToast(QWidget *parent)
    : QWidget(parent), label_(new QLabel(this)), action_(new QPushButton(this)), dismiss_(new QTimer(this)),
      fade_(new QPropertyAnimation(this, "toastOpacity", this)), effect_(new QGraphicsOpacityEffect(this)) {
  effect_->setOpacity(0);
  setGraphicsEffect(effect_);
  // The plate is dark in either appearance (paintEvent), so its text and
  // button take the dark palette, not the application's.
  setPalette(darkPalette());
  setProperty(tarnwick::AppearanceController::fixedColoursProperty(), true);
  auto *layout = new QHBoxLayout(this);
  layout->setContentsMargins(16 + 20, 10, 16, 10);
  label_->setFont(textFont(12, QFont::Medium));
  label_->setWordWrap(true);
  label_->setMaximumWidth(toastMaximumWidth - 52);
  layout->addWidget(label_);
  layout->addWidget(action_);
  action_->setFont(textFont(12, QFont::DemiBold));
  action_->setCursor(Qt::PointingHandCursor);
  action_->hide();
  connect(action_, &QPushButton::clicked, this, &ReportToast::triggerAction);
  dismiss_->setSingleShot(true);
  connect(dismiss_, &QTimer::timeout, this, &ReportToast::fadeOut);
  fade_->setDuration(fadeMilliseconds);
  connect(fade_, &QPropertyAnimation::finished, this, [this] {
    if (opacity_ <= 0)
      hide();
  });
  parent->installEventFilter(this);
  hide();
}

void ReportToast::showMessage(const QString &text, bool succeeded, const QString &actionTitle) {
  failure_ = !succeeded;
  const ElidedText elided = elideQuotedNames(text, label_->fontMetrics(), label_->maximumWidth());
  label_->setText(elided.text);
  // Word wrap alone lays the label out narrow, a few words a line, and
  // narrower than a long name: as wide as the text on one line, up to the
  // toast's width, and wraps only beyond that.
  const int oneLine = label_->fontMetrics().horizontalAdvance(elided.text) + 1;
  label_->setMinimumWidth(std::min(std::max(elided.widestName, oneLine), label_->maximumWidth()));
  action_->setText(actionTitle);
  action_->setVisible(!actionTitle.isEmpty());
  adjustSize();
  place();
  show();
  raise();
  fade_->stop();
  fade_->setStartValue(opacity_);
  fade_->setEndValue(1.0);
  fade_->start();
  // A refusal stays up longer: it is the one the user has to read.
  dismiss_->start(succeeded ? visibleMilliseconds : 2 * visibleMilliseconds);
}

QString ReportToast::text() const { return label_->text(); }

bool ReportToast::offersAction() const { return isVisible() && !action_->isHidden(); }

void ReportToast::triggerAction() {
  if (!offersAction())
    return;
  fadeOut(); // once only: a fading message offers nothing
  emit actionTriggered();
}

void ReportToast::setToastOpacity(qreal opacity) {
  opacity_ = opacity;
  effect_->setOpacity(opacity);
}

void ReportToast::fadeOut() {
  action_->hide();
  fade_->stop();
  fade_->setStartValue(opacity_);
  fade_->setEndValue(0.0);
  fade_->start();
}

void ReportToast::place() {
  const QWidget *host = parentWidget();
  move((host->width() - width()) / 2, host->height() - height() - 64);
}

bool ReportToast::eventFilter(QObject *watched, QEvent *event) {
  if (watched == parentWidget() && event->type() == QEvent::Resize && isVisible())
    place();
  return QWidget::eventFilter(watched, event);
}

void ReportToast::mouseReleaseEvent(QMouseEvent *) { fadeOut(); }

void ReportToast::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  QPainterPath shape;
  shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
  QColor plate = plateColour();
  plate.setAlphaF(0.94f);
  painter.fillPath(shape, plate);
  const QColor edge = failure_ ? QColor(0xff, 0x95, 0x00) : QColor(0x34, 0xc7, 0x59);
  painter.strokePath(shape, QPen(edge, 1));
  painter.drawPixmap(14, (height() - 14) / 2,
                     tarnwick::SymbolIcons::tinted(failure_ ? "lock.shield.fill" : "trash", 14, edge, devicePixelRatioF()));
}

} // namespace quillane
