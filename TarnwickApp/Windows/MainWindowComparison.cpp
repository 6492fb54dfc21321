// The main window's comparison with an older scan: the Scan menu's items,
// the Changes dock and the treemap's colours by change.
#include "TarnwickApp/Windows/ChangesPanel.h"
#include "TarnwickApp/Windows/MainWindow.h"
#include "TarnwickCore/Snapshot/ScanSnapshotStore.h"
#include "TarnwickUI/SizeloomDashboardView.h"
#include "TarnwickUI/TarnwickAppCoordinator.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>

namespace quillane {
namespace {

// The newest remembered scan of the tree on show made before it.
std::optional<tarnwick::ScanSnapshotStore::Entry> olderScan(const tarnwick::TarnwickAppCoordinator &coordinator,
                                                           const tarnwick::ScanSnapshotStore *snapshots) {
  const auto arena = coordinator.arena();
  if (!arena || !snapshots || !coordinator.scanTime())
    return std::nullopt;
  return snapshots->olderScanOf(arena->rootPath(), *coordinator.scanTime());
}

} // namespace

void MainWindow::connectComparison() {
  // A comparison is of the tree it was made with: another tree ends it.
  connect(&coordinator_, &tarnwick::TarnwickAppCoordinator::arenaChanged, changes_, &ChangesPanel::clear);
  connect(&coordinator_, &tarnwick::TarnwickAppCoordinator::arenaChanged, this, &MainWindow::refreshComparing);
  connect(&coordinator_, &tarnwick::TarnwickAppCoordinator::isScanningChanged, this, &MainWindow::refreshComparing);
  refreshComparing();
  connect(changes_, &ChangesPanel::failed, this, [this](const QString &file, const QString &message) {
    showFailure(tr("Cannot Compare Scans"), tr("“%1” could not be read as a scan file.\n\n%2").arg(file, message));
  });
  connect(changes_, &ChangesPanel::colouringChanged, this, [this](const tarnwick::ChangeColouring &colouring) {
    if (tarnwick::SizeloomDashboardView *dashboard = root_->dashboard())
      dashboard->setChangeColouring(colouring);
  });
}

void MainWindow::refreshComparing() {
  const bool explores = coordinator_.arena() && root_->dashboard();
  compareWith_->setEnabled(explores);
  // Headers only: two small reads, when a tree is published or a scan ends.
  const std::optional<tarnwick::ScanSnapshotStore::Entry> older =
      explores ? olderScan(coordinator_, snapshots_.get()) : std::nullopt;
  compareWithPrevious_->setEnabled(older.has_value());
  compareWithPrevious_->setToolTip(
      older ? tr("Compare with the scan of %1")
                  .arg(QLocale().toString(QDateTime::fromSecsSinceEpoch(older->header->scanTime), QLocale::ShortFormat))
            : tr("No earlier scan of this folder is remembered"));
}

void MainWindow::chooseAndCompare() {
  const auto arena = coordinator_.arena();
  if (!arena || !root_->dashboard())
    return;
  if (std::optional<QString> file = comparisonChooser_ ? comparisonChooser_(this) : std::nullopt;
      file && !file->isEmpty())
    changes_->compareWith(QDir::cleanPath(QDir::current().absoluteFilePath(*file)), arena);
}

void MainWindow::compareWithPrevious() {
  const auto arena = coordinator_.arena();
  if (!arena || !root_->dashboard())
    return;
  // Looked up again: a save since the menu was refreshed may have moved it.
  if (const std::optional<tarnwick::ScanSnapshotStore::Entry> older = olderScan(coordinator_, snapshots_.get()))
    changes_->compareWith(QFile::decodeName(QByteArray::fromStdString(older->filePath)), arena);
}

} // namespace quillane
