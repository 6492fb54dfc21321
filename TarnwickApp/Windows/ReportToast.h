#pragma once

#include <QColor>
#include <QWidget>

class QGraphicsOpacityEffect;
class QLabel;
class QPushButton;
class QPropertyAnimation;
class QTimer;

namespace quillane {

/// A short message floating at the bottom of its parent (the outcome of a
/// move to the Trash). It fades out by itself after a few seconds, or at
/// once when clicked, and never blocks the window.
///
/// Threads: GUI thread only.
class ReportToast : public QWidget {
  Q_OBJECT
  Q_PROPERTY(qreal toastOpacity READ toastOpacity WRITE setToastOpacity)

public:
  explicit ReportToast(QWidget *parent);

  /// The plate the message is drawn on, dark in either appearance.
  static QColor plateColour() { return QColor::fromRgbF(0.11f, 0.11f, 0.13f); }

  /// Shows `text`; a failure is drawn with a warning mark. A name quoted
  /// “so” too long for one line is shortened in the middle. With an
  /// `actionTitle` the message carries a button of that title, which emits
  /// actionTriggered() and dismisses the message.
  void showMessage(const QString &text, bool succeeded, const QString &actionTitle = {});
  QString text() const;
  bool isShowingFailure() const { return failure_; }
  /// The message on show carries an action (its button is offered).
  bool offersAction() const;
  QPushButton *actionButton() const { return action_; }
  /// Runs the action on offer, as its button does; nothing when none is.
  void triggerAction();

  qreal toastOpacity() const { return opacity_; }
  void setToastOpacity(qreal opacity);

signals:
  void actionTriggered();

protected:
  void paintEvent(QPaintEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void place();
  void fadeOut();

  QLabel *label_;
  QPushButton *action_;
  QTimer *dismiss_;
  QPropertyAnimation *fade_;
  QGraphicsOpacityEffect *effect_;
  qreal opacity_ = 0;
  bool failure_ = false;
};

} // namespace quillane
