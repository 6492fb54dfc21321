#pragma once

#include <QWidget>

class QGraphicsOpacityEffect;
class QLabel;
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

  /// Shows `text`; a failure is drawn with a warning mark.
  void showMessage(const QString &text, bool succeeded);
  QString text() const;
  bool isShowingFailure() const { return failure_; }

  qreal toastOpacity() const { return opacity_; }
  void setToastOpacity(qreal opacity);

protected:
  void paintEvent(QPaintEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void place();
  void fadeOut();

  QLabel *label_;
  QTimer *dismiss_;
  QPropertyAnimation *fade_;
  QGraphicsOpacityEffect *effect_;
  qreal opacity_ = 0;
  bool failure_ = false;
};

} // namespace quillane
