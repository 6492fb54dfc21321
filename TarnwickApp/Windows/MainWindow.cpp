#include "TarnwickApp/Windows/MainWindow.h"

#include "TarnwickApp/Windows/CacheCleanupWindow.h"
#include "TarnwickApp/Windows/ChangesPanel.h"
#include "TarnwickApp/Windows/CloseKeys.h"
#include "TarnwickApp/Windows/FindWindow.h"
#include "TarnwickApp/Windows/PreferencesView.h"
#include "TarnwickApp/Windows/RecentScansList.h"
#include "TarnwickApp/Windows/TrashWindow.h"
#include "TarnwickApp/Windows/UnreadableFoldersDialog.h"
#include "TarnwickApp/Windows/WindowGeometry.h"
#include "TarnwickCore/Deletion/FreedesktopTrash.h"
#include "TarnwickCore/Snapshot/ScanSnapshotStore.h"
#include "TarnwickCore/Snapshot/SnapshotFormat.h"
#include "TarnwickUI/FileManagerReveal.h"
#include "TarnwickUI/SizeloomDashboardView.h"
#include "TarnwickUI/SymbolIcons.h"
#include "TarnwickUI/TarnwickAppCoordinator.h"
#include "TarnwickUI/TreemapCanvasView.h"
#include "TarnwickUI/WidgetStyle.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <ctime>

namespace quillane {
namespace {

// The translation context of the texts this file shows outside a QObject.
struct Texts {
  Q_DECLARE_TR_FUNCTIONS(quillane::MainWindow)
};

// What the sizes mean, as the README's "What the sizes mean" says it.
QString sizeNote() {
  return Texts::tr("Sizes are the space the file system reports as allocated (st_blocks, as du counts it): "
                        "every file once however many hard links it has, folders included, sparse files at what "
                        "they occupy. A compressed file shows its compressed size only where the file system "
                        "reports it so, as ZFS does; btrfs reports the uncompressed extents, so there it shows "
                        "its full size.");
}

std::optional<QString> askForFolder(QWidget *parent, const QString &startFolder) {
  QFileDialog dialog(parent, Texts::tr("Choose Folder to Scan"));
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  dialog.setLabelText(QFileDialog::Accept, Texts::tr("Scan Folder"));
  dialog.setDirectory(startFolder);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return std::nullopt;
  return dialog.selectedFiles().front();
}

// One existing file chosen in a dialog; nothing when the user declines.
std::optional<QString> askForFile(QWidget *parent, const QString &title, const QString &startFolder,
                                  const QString &filters) {
  const QString file = QFileDialog::getOpenFileName(parent, title, startFolder, filters);
  return file.isEmpty() ? std::nullopt : std::optional(file);
}

std::optional<QString> askForExport(QWidget *parent, const QString &startFolder) {
  return askForFile(parent, Texts::tr("Open Scan File"), startFolder,
                    Texts::tr("Scan exports (*.json *.json.gz *.json.zst);;JSON (*.json);;JSON, gzip (*.json.gz);;"
                              "JSON, zstd (*.json.zst);;All files (*)"));
}

std::optional<QString> askForOlderScan(QWidget *parent, const QString &startFolder) {
  return askForFile(parent, Texts::tr("Compare With Scan"), startFolder,
                    Texts::tr("Scans (*.qsnap *.json *.json.gz *.json.zst);;Remembered scans (*.qsnap);;"
                              "Scan exports (*.json *.json.gz *.json.zst);;All files (*)"));
}

} // namespace

MainWindow::MainWindow(tarnwick::TarnwickAppCoordinator &coordinator, StatusProbe probe, QString homeFolder,
                       std::shared_ptr<tarnwick::SafeCleaningEngine> engine, QWidget *parent)
    : QMainWindow(parent), coordinator_(coordinator), probe_(std::move(probe)), homeFolder_(std::move(homeFolder)),
      engine_(std::move(engine)), root_(new AppRootView(coordinator, probe_, homeFolder_, MainWindow::launcherShortcuts(), this)),
      chooser_([this](QWidget *parent) { return askForFolder(parent, homeFolder_); }),
      exportChooser_([this](QWidget *parent) { return askForExport(parent, homeFolder_); }),
      comparisonChooser_([this](QWidget *parent) {
        return askForOlderScan(parent, snapshots_ ? QString::fromStdString(snapshots_->folder()) : homeFolder_);
      }),
      changes_(new ChangesPanel(this)),
      trash_(tarnwick::FreedesktopTrash(homeFolder_.toStdString(), std::nullopt)) {
  setWindowTitle(QStringLiteral("Quillane"));
  setWindowIcon(tarnwick::SymbolIcons::icon("quillane"));
  const WindowGeometry geometry = WindowGeometry::forScreen(screen() ? screen()->availableGeometry().size() : QSize());
  setMinimumSize(geometry.minimum);
  resize(geometry.initial);
  setCentralWidget(root_);
  addDockWidget(Qt::BottomDockWidgetArea, changes_);
  changes_->hide();
  buildMenus();
  restoreLayout();
  connect(root_, &AppRootView::scanHomeRequested, scanHome_, &QAction::trigger);
  connect(root_, &AppRootView::scanDiskRequested, scanDisk_, &QAction::trigger);
  connect(root_, &AppRootView::chooseFolderRequested, this, &MainWindow::chooseFolderAndScan);
  connect(root_, &AppRootView::unreadableFoldersRequested, this, &MainWindow::showUnreadableFolders);
  connect(root_, &AppRootView::rememberedScanRequested, this, &MainWindow::openRememberedScan);
  connect(root_, &AppRootView::cleanCachesRequested, this, [this](std::optional<tarnwick::CleanableCategory> category) {
    // Trash Bins hold no caches: cleaning them is emptying the Trash.
    if (category == tarnwick::CleanableCategory::trashBins)
      showTrash();
    else
      showCacheCleanup(category);
  });
  connect(&coordinator_, &tarnwick::TarnwickAppCoordinator::isScanningChanged, this,
          [this] { cancelScan_->setEnabled(coordinator_.isScanning()); });
  connect(&coordinator_, &tarnwick::TarnwickAppCoordinator::isScanningChanged, this, &MainWindow::refreshTitle);
  connect(&coordinator_, &tarnwick::TarnwickAppCoordinator::arenaChanged, this, &MainWindow::refreshTitle);
  connectComparison();
  connect(&coordinator_, &tarnwick::TarnwickAppCoordinator::exportOpenFailed, this,
          [this](const QString &file, const QString &message) {
            showFailure(tr("Cannot Open Scan File"),
                        tr("“%1” could not be read as a scan file.\n\n%2").arg(file, message));
          });
}

void MainWindow::openHelp() {
  const QString path = helpDocumentPath();
  if (path.isEmpty())
    showFailure(tr("Cannot Open Help"), tr("The user guide is not installed."));
  else if (!tarnwick::FileManagerReveal::openUrl(QUrl::fromLocalFile(path)))
    showFailure(tr("Cannot Open Help"), tr("No application could open the user guide, %1.").arg(path));
}

void MainWindow::showFailure(const QString &title, const QString &text) {
  // Window-modal and not waited for: the event loop and any scan go on.
  auto *box = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, this);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setTextFormat(Qt::PlainText);
  box->open();
}

QString MainWindow::helpDocumentPath() {
  // Installed under another prefix than the one configured: next to the binary.
  const QString besideBinary =
      QCoreApplication::applicationDirPath() + QStringLiteral("/" QUILLANE_DATA_FROM_PROGRAM "/doc/quillane/README.md");
  if (QFileInfo::exists(besideBinary))
    return QFileInfo(besideBinary).canonicalFilePath();
#ifdef QUILLANE_INSTALLED_README
  if (QFileInfo::exists(QStringLiteral(QUILLANE_INSTALLED_README)))
    return QStringLiteral(QUILLANE_INSTALLED_README);
#endif
#ifdef QUILLANE_SOURCE_README
  if (QFileInfo::exists(QStringLiteral(QUILLANE_SOURCE_README)))
    return QStringLiteral(QUILLANE_SOURCE_README);
#endif
  return {};
}

PreferencesView *MainWindow::showSettings() {
  if (!settingsWindow_) {
    settingsWindow_ = new QDialog(this);
    settingsWindow_->setWindowTitle(tr("Quillane Settings"));
    settingsWindow_->setFixedSize(560, 420);
    auto *layout = new QVBoxLayout(settingsWindow_);
    layout->setContentsMargins(0, 0, 0, 0);
    preferences_ = new PreferencesView([probe = probe_] { return probe().status; }, settingsWindow_);
    layout->addWidget(preferences_);
    closeOnEscapeOrCloseKey(settingsWindow_);
  } else {
    preferences_->refreshStatus();
  }
  preferences_->tabs()->setCurrentIndex(0); // Access
  settingsWindow_->show();
  settingsWindow_->raise();
  settingsWindow_->activateWindow();
  return preferences_;
}

UnreadableFoldersDialog *MainWindow::showUnreadableFolders() {
  if (!unreadableDialog_)
    unreadableDialog_ = new UnreadableFoldersDialog(this);
  // Asked again each time: permissions and the tree may have changed.
  AppRootView::UnreadableFolders folders = root_->unreadableFolders();
  unreadableDialog_->setFolders(std::move(folders.listed), folders.total);
  unreadableDialog_->show();
  unreadableDialog_->raise();
  unreadableDialog_->activateWindow();
  return unreadableDialog_;
}

QMessageBox *MainWindow::showAbout() {
  if (!aboutBox_) {
#ifdef __APPLE__
    const QString credits = QStringLiteral("Commercial High-Performance Native macOS Storage Utility");
#else
    const QString credits = tr("Shows what takes up space on your disk, and moves what you choose to the Trash.\n\n"
                                           "Folders are read in parallel with getdents64(2) and statx(2).");
#endif
    aboutBox_ = new QMessageBox(this);
    aboutBox_->setWindowTitle(tr("About Quillane"));
    aboutBox_->setIconPixmap(tarnwick::SymbolIcons::icon("quillane").pixmap(64, 64));
    aboutBox_->setTextFormat(Qt::PlainText);
    aboutBox_->setText(QStringLiteral("Quillane"));
    aboutBox_->setInformativeText(tr("Version %1\n\n%2\n\n%3").arg(QStringLiteral(QUILLANE_VERSION), credits, sizeNote()));
    aboutBox_->setStandardButtons(QMessageBox::Ok);
  }
  aboutBox_->open();
  return aboutBox_;
}

CacheCleanupWindow *MainWindow::showCacheCleanup(std::optional<tarnwick::CleanableCategory> category) {
  if (!cacheWindow_) {
    cacheWindow_ = new CacheCleanupWindow(homeFolder_.toStdString(), engine_, this);
    cacheWindow_->controller().setTrash(trash_);
    cacheWindow_->showSystemCaches(tarnwick::SystemCacheController::withProcessRunner());
    // What the cache window cleans leaves the explorer's tree too.
    tarnwick::CacheCleanupController &controller = cacheWindow_->controller();
    connect(&controller, &tarnwick::CacheCleanupController::reportChanged, this, [this, &controller] {
      if (controller.lastReport())
        coordinator_.forgetPaths(controller.removedPaths());
    });
  }
  cacheWindow_->open(category);
  return cacheWindow_;
}

FindWindow *MainWindow::findWindow() {
  if (!findWindow_) {
    findWindow_ = new FindWindow(this);
    connect(findWindow_, &FindWindow::nodeChosen, this, &MainWindow::revealNode);
    connect(findWindow_, &FindWindow::fileTypeChosen, this, [this](const QString &type) {
      if (auto *dashboard = root_->dashboard())
        dashboard->canvas()->setHighlightedFileType(type.toStdString());
    });
    // Closing the window ends the highlight it chose.
    connect(findWindow_, &FindWindow::hidden, this, [this] {
      if (auto *dashboard = root_->dashboard())
        dashboard->canvas()->setHighlightedFileType(std::nullopt);
    });
  }
  syncFindWindow();
  return findWindow_;
}

void MainWindow::syncFindWindow() {
  auto *dashboard = root_->dashboard();
  if (!findWindow_ || !dashboard)
    return;
  // The explorer is made with the first tree: follow its folder from then on.
  if (followedCanvas_ != dashboard->canvas()) {
    followedCanvas_ = dashboard->canvas();
    connect(followedCanvas_, &tarnwick::TreemapCanvasView::tilesChanged, this, &MainWindow::syncFindWindow);
  }
  findWindow_->setFolder(dashboard->arena(), dashboard->currentNodeID());
}

void MainWindow::revealNode(tarnwick::NodeID id) {
  auto *dashboard = root_->dashboard();
  // A choice made in a tree the explorer no longer shows names nothing here.
  if (!dashboard || !findWindow_ || findWindow_->arena() != dashboard->arena() || !dashboard->arena()->isValid(id))
    return;
  const tarnwick::DiskTreeArena::Record &r = dashboard->arena()->record(id);
  if (r.isDirectory) {
    dashboard->navigateTo(id);
  } else {
    dashboard->navigateTo(r.parentID);
    dashboard->setSelectedNodeID(id);
  }
  raise();
  activateWindow();
}

TrashWindow *MainWindow::showTrash() {
  if (!trashWindow_) {
    trashWindow_ = new TrashWindow(trash_, this);
    connect(&trashWindow_->controller(), &tarnwick::TrashController::itemsRestored, &coordinator_,
            &tarnwick::TarnwickAppCoordinator::showRestored);
  }
  trashWindow_->open();
  return trashWindow_;
}

void MainWindow::chooseFolderAndScan() {
  if (std::optional<QString> folder = chooser_ ? chooser_(this) : std::nullopt; folder && !folder->isEmpty())
    startScan(*folder);
}

void MainWindow::startScan(const QString &root) {
  scanningRoot_ = root; // before the start, which announces the scan
  openingFile_.reset();
  coordinator_.startScan(root);
  refreshTitle();
}

void MainWindow::chooseExportAndOpen() {
  if (std::optional<QString> file = exportChooser_ ? exportChooser_(this) : std::nullopt; file && !file->isEmpty())
    openScanFile(*file);
}

void MainWindow::openScanFile(const QString &file) {
  const QString absolute = QDir::cleanPath(QDir::current().absoluteFilePath(file));
  // A snapshot is told by its first bytes, whatever its name, as diff tells it.
  QFile opened(absolute);
  if (opened.open(QIODevice::ReadOnly) &&
      opened.read(qint64(tarnwick::snapshot::magic.size())).toStdString() == tarnwick::snapshot::magic)
    return openRememberedScan(absolute);
  openingFile_ = absolute; // before the start, which announces it
  scanningRoot_.reset();
  coordinator_.openExport(absolute);
  refreshTitle();
}

void MainWindow::openRememberedScan(const QString &file) {
  openingFile_ = file;
  scanningRoot_.reset();
  coordinator_.openSnapshot(file);
  refreshTitle();
}

void MainWindow::setSnapshotStore(std::shared_ptr<const tarnwick::ScanSnapshotStore> store) {
  snapshots_ = store;
  root_->setSnapshotStore(std::move(store));
  refreshComparing();
}

void MainWindow::refreshTitle() {
  // The title names the tree on show, as file browsers do, or the root
  // being scanned. A scan started elsewhere (the explorer's rescan) reads
  // the tree on show again: its title stays.
  if (!coordinator_.isScanning()) {
    scanningRoot_.reset();
    openingFile_.reset();
  }
  const auto arena = coordinator_.arena();
  if (openingFile_)
    setWindowTitle(tr("Opening %1 — Quillane").arg(*openingFile_));
  else if (scanningRoot_)
    setWindowTitle(tr("Scanning %1 — Quillane").arg(*scanningRoot_));
  else if (arena && coordinator_.rememberedScanTime())
    setWindowTitle(tr("%1 (scanned %2) — Quillane")
                       .arg(tarnwick::WidgetStyle::displayText(arena->rootPath()),
                            RecentScansList::ageText(std::max<std::int64_t>(
                                0, std::time(nullptr) - *coordinator_.rememberedScanTime()))));
  else if (arena)
    setWindowTitle(tr("%1 — Quillane").arg(tarnwick::WidgetStyle::displayText(arena->rootPath())));
  else
    setWindowTitle(QStringLiteral("Quillane"));
}

} // namespace quillane
