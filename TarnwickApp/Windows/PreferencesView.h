#pragma once

#include "TarnwickCore/Access/FullDiskAccessCoordinator.h"
#include "TarnwickCore/Scan/ScanScope.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QTabWidget;

namespace quillane {

/// The Settings window's content: an "Access" tab with whether every
/// folder Quillane reads can be read, and the list of them and why; a
/// "Scanning" tab with what the window's scans leave out (stay on one file
/// system, network file systems and images, exclude patterns one a line),
/// saved in QSettings as soon as it changes.
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

  /// The scope the Scanning tab saved (the defaults when nothing was):
  /// what every scan of the window leaves out. Safe from any thread.
  static tarnwick::ScanScope savedScanScope();
  QCheckBox *oneFileSystemBox() const { return oneFileSystem_; }
  QCheckBox *includeRemoteBox() const { return includeRemote_; }
  QPlainTextEdit *excludesEditor() const { return excludes_; }

private:
  QWidget *makeScanningPage();
  void saveScanScope() const;

  StatusProbe probe_;
  QTabWidget *tabs_;
  QLabel *status_;
  QListWidget *list_;
  QCheckBox *oneFileSystem_ = nullptr;
  QCheckBox *includeRemote_ = nullptr;
  QPlainTextEdit *excludes_ = nullptr;
};

} // namespace quillane
