#pragma once

#include "TarnwickCore/Scan/ScanProgress.h"

#include <QWidget>

#include <optional>

class QLabel;
class QPushButton;

namespace quillane {

/// The full-window display while a scan runs: a spinner, "Analyzing
/// Storage…", the path being read and the running totals, and "Cancel Scan".
/// Before the first report only the spinner, the title and the button show.
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

signals:
  void cancelRequested();

private:
  QLabel *path_;
  QWidget *statistics_;
  QLabel *accumulated_;
  QLabel *files_;
  QLabel *directories_;
  QPushButton *cancel_;
};

} // namespace quillane
