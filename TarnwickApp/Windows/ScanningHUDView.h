#pragma once

#include "TarnwickCore/Scan/ScanProgress.h"

#include <QWidget>

#include <optional>

class QLabel;
class QPushButton;

namespace quillane {

/// The full-window display while a scan runs: a spinner, "Analyzing
/// Storage…", the path being read and the running totals, "Stop" (show
/// what was read so far) and "Cancel Scan". Before the first report only the
/// spinner, the title and the buttons show.
///
/// Threads: GUI thread only.
class ScanningHUDView : public QWidget {
  Q_OBJECT

public:
  explicit ScanningHUDView(QWidget *parent = nullptr);

  void setProgress(const std::optional<tarnwick::ScanProgress> &progress);
  bool isShowingStatistics() const;
  QString currentPathText() const;
  QString accumulatedText() const;
  QString filesText() const;
  QString directoriesText() const;
  QPushButton *cancelButton() const { return cancel_; }
  QPushButton *stopButton() const { return stop_; }

signals:
  void cancelRequested();
  /// End the scan and keep the tree read so far.
  void stopRequested();

private:
  QLabel *path_;
  QWidget *statistics_;
  QLabel *accumulated_;
  QLabel *files_;
  QLabel *directories_;
  QPushButton *cancel_;
  QPushButton *stop_;
};

} // namespace quillane
