#pragma once

#include <QWidget>

class QTimer;

namespace tarnwick {

/// An indeterminate progress indicator: an arc turning about once a second
/// while the widget is shown (its timer stops when hidden).
///
/// Threads: GUI thread only.
class BusySpinner : public QWidget {
  Q_OBJECT

public:
  /// `diameter` in device-independent pixels.
  explicit BusySpinner(int diameter, QWidget *parent = nullptr);

protected:
  void showEvent(QShowEvent *event) override;
  void hideEvent(QHideEvent *event) override;
  void paintEvent(QPaintEvent *event) override;

private:
  QTimer *timer_;
  int angle_ = 0;
};

} // namespace tarnwick
