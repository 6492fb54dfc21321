#pragma once

#include "TarnwickApp/Windows/WelcomeLauncherView.h"
#include "TarnwickCore/Catalogue/CleanableCategory.h"
#include "TarnwickCore/Access/FullDiskAccessCoordinator.h"
#include "TarnwickCore/Snapshot/ScanSnapshotStore.h"

#include <QPointer>
#include <QStackedWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {
class SizeloomDashboardView;
class TarnwickAppCoordinator;
} // namespace tarnwick

namespace quillane {

class ReportToast;
class ScanningHUDView;

/// The main window's content, chosen from the coordinator's state: the
/// scanning display while a scan runs (also over an older result), the
/// explorer once there is a result (and while one of its folders is
/// rescanned), the launcher before any. It wires the
/// explorer's trash, rescan and clean actions to the coordinator and shows
/// the outcome of every move to the Trash.
///
/// Threads: GUI thread only. The coordinator must outlive this view.
/// `homeFolder` is what a rescan without a tree on show scans.
class AppRootView : public QStackedWidget {
  Q_OBJECT

public:
  /// Asked when the view is made, shown, and whenever the tree changes.
  using StatusProbe = std::function<tarnwick::AccessCheck()>;
  /// The folders that could not be read: the first ones with why, and how
  /// many there are in all.
  struct UnreadableFolders {
    std::vector<tarnwick::Failure> listed;
    std::int64_t total = 0;
  };
  AppRootView(tarnwick::TarnwickAppCoordinator &coordinator, StatusProbe probe, QString homeFolder,
              WelcomeLauncherView::Shortcuts shortcuts, QWidget *parent = nullptr);

  WelcomeLauncherView *launcher() const { return launcher_; }
  ScanningHUDView *scanningDisplay() const { return scanning_; }
  /// The explorer; null until the first result.
  tarnwick::SizeloomDashboardView *dashboard() const { return dashboard_; }
  ReportToast *reportToast() const { return toast_; }
  /// Where the launcher finds the remembered scans it lists.
  void setSnapshotStore(std::shared_ptr<const tarnwick::ScanSnapshotStore> store);
  /// Those the probes cannot open, then those the tree on show could not read.
  UnreadableFolders unreadableFolders() const;

signals:
  void scanHomeRequested();
  void scanDiskRequested();
  void chooseFolderRequested();
  void unreadableFoldersRequested();
  /// A remembered scan on the launcher was chosen: its snapshot file.
  void rememberedScanRequested(const QString &file);
  void cleanCachesRequested(std::optional<tarnwick::CleanableCategory> category);

protected:
  void showEvent(QShowEvent *event) override;

private:
  void sync();
  void refreshBanner();
  void showPage();
  void showReport();
  void rescanFolder(const std::string &path);

  tarnwick::TarnwickAppCoordinator &coordinator_;
  StatusProbe probe_;
  const QString homeFolder_;
  WelcomeLauncherView *launcher_;
  ScanningHUDView *scanning_;
  tarnwick::SizeloomDashboardView *dashboard_ = nullptr;
  std::shared_ptr<const tarnwick::ScanSnapshotStore> snapshots_;
  ReportToast *toast_;
};

} // namespace quillane
