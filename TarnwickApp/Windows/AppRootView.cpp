#include "TarnwickApp/Windows/AppRootView.h"

#include "TarnwickApp/Windows/CleaningReportMessage.h"
#include "TarnwickApp/Windows/RecentScansList.h"
#include "TarnwickApp/Windows/ReportToast.h"
#include "TarnwickApp/Windows/ScanningHUDView.h"
#include "TarnwickUI/DashboardSidebar.h"
#include "TarnwickUI/SizeloomDashboardView.h"
#include "TarnwickUI/TarnwickAppCoordinator.h"
#include "TarnwickUI/TreemapCanvasView.h"

#include <QShortcut>

#include <algorithm>

#include <cstdio>
#include <ctime>

namespace quillane {

AppRootView::AppRootView(tarnwick::TarnwickAppCoordinator &coordinator, StatusProbe probe, QString homeFolder,
                         WelcomeLauncherView::Shortcuts shortcuts, QWidget *parent)
    : QStackedWidget(parent), coordinator_(coordinator), probe_(std::move(probe)), homeFolder_(std::move(homeFolder)),
      launcher_(new WelcomeLauncherView(shortcuts, this)), scanning_(new ScanningHUDView(this)),
      toast_(new ReportToast(this)) {
  addWidget(launcher_);
  addWidget(scanning_);
  connect(launcher_, &WelcomeLauncherView::scanHomeRequested, this, &AppRootView::scanHomeRequested);
  connect(launcher_, &WelcomeLauncherView::scanDiskRequested, this, &AppRootView::scanDiskRequested);
  connect(launcher_, &WelcomeLauncherView::chooseFolderRequested, this, &AppRootView::chooseFolderRequested);
  connect(launcher_, &WelcomeLauncherView::unreadableFoldersRequested, this, &AppRootView::unreadableFoldersRequested);
  connect(launcher_->recentScans(), &RecentScansList::openRequested, this, &AppRootView::rememberedScanRequested);
  connect(launcher_, &WelcomeLauncherView::cleanCachesRequested, this, [this] { emit cleanCachesRequested(std::nullopt); });
  connect(scanning_, &ScanningHUDView::cancelRequested, &coordinator_, &tarnwick::TarnwickAppCoordinator::cancelScan);
  connect(scanning_, &ScanningHUDView::stopRequested, &coordinator_,
          &tarnwick::TarnwickAppCoordinator::stopScanKeepingTree);

  using tarnwick::TarnwickAppCoordinator;
  connect(&coordinator_, &TarnwickAppCoordinator::isScanningChanged, this, &AppRootView::sync);
  connect(&coordinator_, &TarnwickAppCoordinator::arenaChanged, this, &AppRootView::sync);
  connect(&coordinator_, &TarnwickAppCoordinator::categorySharesChanged, this, [this] {
    if (dashboard_)
      dashboard_->sidebar()->setCategoryShares(coordinator_.categoryShares());
  });
  connect(&coordinator_, &TarnwickAppCoordinator::scanProgressChanged, this,
          [this] { scanning_->setProgress(coordinator_.scanProgress()); });
  connect(&coordinator_, &TarnwickAppCoordinator::lastCleaningReportChanged, this, &AppRootView::showReport);
  // A move's message offers Undo, also as the window's Undo key while it shows.
  connect(toast_, &ReportToast::actionTriggered, &coordinator_, &TarnwickAppCoordinator::undoLastMove);
  connect(new QShortcut(QKeySequence::Undo, this), &QShortcut::activated, toast_, &ReportToast::triggerAction);
  connect(&coordinator_, &TarnwickAppCoordinator::undoFinished, toast_,
          [this](const QString &message, bool succeeded) { toast_->showMessage(message, succeeded); });
  // A failed scan would otherwise just drop back to the previous screen.
  connect(&coordinator_, &TarnwickAppCoordinator::scanErrorChanged, this, [this] {
    if (const auto &error = coordinator_.scanError())
      toast_->showMessage(tr("The scan failed: ") + *error, false);
  });
  sync();
}

void AppRootView::showEvent(QShowEvent *event) {
  // Permissions may have changed while the window was away.
  refreshBanner();
  QStackedWidget::showEvent(event);
}

AppRootView::UnreadableFolders AppRootView::unreadableFolders() const {
  UnreadableFolders folders;
  if (probe_)
    folders.listed = probe_().unreadable;
  folders.total = std::int64_t(folders.listed.size());
  if (const auto arena = coordinator_.arena()) {
    const tarnwick::ScanReport &report = arena->scanReport();
    // A probe the scan also failed on is one folder, listed once.
    for (const tarnwick::Failure &failure : report.unreadablePaths) {
      const bool probed = std::any_of(folders.listed.begin(), folders.listed.begin() + std::ptrdiff_t(folders.total),
                                      [&](const tarnwick::Failure &p) { return p.path == failure.path; });
      if (probed)
        --folders.total;
      else
        folders.listed.push_back(failure);
    }
    folders.total += report.unreadableFolderCount;
  }
  return folders;
}

void AppRootView::setSnapshotStore(std::shared_ptr<const tarnwick::ScanSnapshotStore> store) {
  snapshots_ = std::move(store);
  if (snapshots_)
    launcher_->recentScans()->setEntries(snapshots_->list(), std::time(nullptr), snapshots_->refusal());
}

void AppRootView::refreshBanner() { launcher_->setUnreadableCount(unreadableFolders().total); }

void AppRootView::sync() {
  refreshBanner();
  showPage(); // a page switch raises the page: keep the message above it
  toast_->raise();
}

void AppRootView::showPage() {
  // A folder's rescan keeps the tree it will change on screen.
  if (coordinator_.isScanning() && !coordinator_.isRescanningFolder()) {
    if (currentWidget() != scanning_)
      scanning_->setProgress(std::nullopt); // a new scan: no report of its own yet
    setCurrentWidget(scanning_);
    return;
  }
  if (auto arena = coordinator_.arena()) {
    if (!dashboard_) {
      dashboard_ = new tarnwick::SizeloomDashboardView(arena, std::nullopt, this);
      addWidget(dashboard_);
      connect(dashboard_, &tarnwick::SizeloomDashboardView::moveToTrash, &coordinator_,
              &tarnwick::TarnwickAppCoordinator::moveNodeToTrash);
      dashboard_->setTrashRefusalCheck(
          [this](const std::string &path) { return coordinator_.trashRefusal(path); });
      connect(dashboard_, &tarnwick::SizeloomDashboardView::rescanFolder, this, &AppRootView::rescanFolder);
      connect(dashboard_, &tarnwick::SizeloomDashboardView::cleanCategory, this,
              [this](std::optional<tarnwick::CleanableCategory> category) {
                const std::string_view title = category ? tarnwick::rawValue(*category) : "All Files";
                std::printf("Cleaning category: %.*s\n", int(title.size()), title.data());
                std::fflush(stdout);
                // Trash Bins are no cache: a view of the Trash is where that
                // category belongs, and where it can be routed from here.
                emit cleanCachesRequested(category);
              });
    } else if (dashboard_->arena() != arena) {
      dashboard_->setArena(arena);
    }
    dashboard_->sidebar()->setCategoryShares(coordinator_.categoryShares()); // measured with the tree
    dashboard_->setCleaningRefusal(coordinator_.cleaningRefusal());
    if (currentWidget() != dashboard_) {
      setCurrentWidget(dashboard_);
      // The arrows work on the treemap from the start; its ring waits for a key.
      dashboard_->canvas()->setFocus(Qt::OtherFocusReason);
    }
    return;
  }
  if (currentWidget() != launcher_ && snapshots_) // listed afresh each time it comes up: headers only
    launcher_->recentScans()->setEntries(snapshots_->list(), std::time(nullptr), snapshots_->refusal());
  setCurrentWidget(launcher_);
}

void AppRootView::rescanFolder(const std::string &path) {
  if (coordinator_.arena())
    coordinator_.rescanFolder(path);
  else
    coordinator_.startScan(homeFolder_);
}

void AppRootView::showReport() {
  if (const auto &report = coordinator_.lastCleaningReport()) {
    const CleaningReportMessage message = CleaningReportMessage::from(*report);
    toast_->showMessage(message.text, message.succeeded,
                        coordinator_.canUndoLastMove() ? tr("Undo") : QString());
  }
}

} // namespace quillane
