#pragma once

#include "TarnwickCore/Access/FullDiskAccessCoordinator.h"

#include <QWidget>

#include <functional>

class QLabel;
class QListWidget;
class QTabWidget;

namespace quillane {

/// The Settings window's content: one "Full Disk Access" tab with the
/// current status and the list of locations Quillane reads, and why.
///
/// Threads: GUI thread only.
class PreferencesView : public QWidget {
  Q_OBJECT

public:
  using StatusProbe = std::function<tarnwick::FullDiskAccessStatus()>;
  /// `probe` decides the status; it is asked now and on "Check Again".
  explicit PreferencesView(StatusProbe probe, QWidget *parent = nullptr);

  /// Asks the probe again and shows the answer.
  void refreshStatus();
  QString statusText() const;
  int transparencyRowCount() const;
  QTabWidget *tabs() const { return tabs_; }

private:
  StatusProbe probe_;
  QTabWidget *tabs_;
  QLabel *status_;
  QListWidget *list_;
};

} // namespace quillane
