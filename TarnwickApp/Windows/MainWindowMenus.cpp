// The main window's menus: what each offers, its keys, and the view
// settings they remember.
#include "TarnwickApp/Windows/MainWindow.h"

#include "TarnwickApp/Windows/AppRootView.h"
#include "TarnwickApp/Windows/FindWindow.h"
#include "TarnwickUI/DashboardSidebar.h"
#include "TarnwickUI/SizeloomDashboardView.h"
#include "TarnwickUI/SymbolIcons.h"
#include "TarnwickUI/TarnwickAppCoordinator.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>

namespace quillane {
namespace {

/// A standard key when the platform defines one, else `fallback`.
QKeySequence standardOr(QKeySequence::StandardKey key, const QKeySequence &fallback) {
  const QKeySequence standard(key);
  return standard.isEmpty() ? fallback : standard;
}

} // namespace

WelcomeLauncherView::Shortcuts MainWindow::launcherShortcuts() {
  return {QKeySequence(Qt::CTRL | Qt::Key_S), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
          QKeySequence(Qt::CTRL | Qt::Key_O), QKeySequence(Qt::CTRL | Qt::Key_K)};
}

void MainWindow::buildMenus() {
  using tarnwick::SymbolIcons;
  QMenu *app = menuBar()->addMenu(QStringLiteral("&Quillane"));
  about_ = app->addAction(SymbolIcons::icon("internaldrive.fill"), tr("About Quillane"), this, &MainWindow::showAbout);
  settings_ = app->addAction(tr("Settings…"), this, &MainWindow::showSettings);
  settings_->setShortcut(standardOr(QKeySequence::Preferences, QKeySequence(Qt::CTRL | Qt::Key_Comma)));
  app->addSeparator();
  QAction *quit = app->addAction(tr("Quit Quillane"), qApp, &QApplication::closeAllWindows);
  quit->setShortcut(standardOr(QKeySequence::Quit, QKeySequence(Qt::CTRL | Qt::Key_Q)));

  // The scan items stay enabled during a scan: a new one replaces it.
  QMenu *scan = menuBar()->addMenu(tr("&Scan"));
  const WelcomeLauncherView::Shortcuts keys = launcherShortcuts();
  scanHome_ = scan->addAction(SymbolIcons::icon("house.fill"), tr("Scan User Home Folder"), this,
                              [this] { startScan(homeFolder_); });
  scanHome_->setShortcut(keys.scanHome);
  scanDisk_ = scan->addAction(SymbolIcons::icon("internaldrive.fill"), tr("Scan Full Disk"), this,
                              [this] { startScan(QStringLiteral("/")); });
  scanDisk_->setShortcut(keys.scanDisk);
  chooseFolder_ = scan->addAction(SymbolIcons::icon("folder"), tr("Choose Folder to Scan…"), this,
                                  &MainWindow::chooseFolderAndScan);
  chooseFolder_->setShortcut(keys.chooseFolder);
  openScanFile_ = scan->addAction(SymbolIcons::icon("doc.fill"), tr("Open Scan File…"), this,
                                  &MainWindow::chooseExportAndOpen);
  openScanFile_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
  compareWith_ = scan->addAction(tr("Compare With…"), this, &MainWindow::chooseAndCompare);
  compareWithPrevious_ = scan->addAction(tr("Compare With Previous Scan"), this, &MainWindow::compareWithPrevious);
  cleanCaches_ = scan->addAction(SymbolIcons::icon("sparkles"), tr("Clean Up Caches…"), this,
                                 [this] { showCacheCleanup(std::nullopt); });
  cleanCaches_->setShortcut(keys.cleanCaches);
  showTrash_ = scan->addAction(SymbolIcons::icon("trash"), tr("Show Trash…"), this, &MainWindow::showTrash);
  scan->addSeparator();
  cancelScan_ = scan->addAction(tr("Cancel Current Scan"), &coordinator_,
                                &tarnwick::TarnwickAppCoordinator::cancelScan);
  cancelScan_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Period));
  cancelScan_->setEnabled(coordinator_.isScanning());

  QMenu *view = menuBar()->addMenu(tr("&View"));
  QAction *sidebar = view->addAction(tr("Show Sidebar"));
  sidebar->setCheckable(true);
  sidebar->setChecked(true);
  sidebar->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_S));
  connect(sidebar, &QAction::toggled, this, [this](bool shown) {
    if (auto *dashboard = root_->dashboard())
      dashboard->sidebar()->setVisible(shown);
  });
  // The list beside the treemap, remembered across runs; the explorer is
  // made with the first result, so it is told again whenever one comes.
  showList_ = view->addAction(tr("Show List"));
  showList_->setCheckable(true);
  showList_->setChecked(QSettings().value(QStringLiteral("view/showList"), false).toBool());
  showList_->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_L));
  const auto applyList = [this] {
    if (auto *dashboard = root_->dashboard())
      dashboard->setListVisible(showList_->isChecked());
  };
  connect(showList_, &QAction::toggled, this, [applyList](bool shown) {
    QSettings().setValue(QStringLiteral("view/showList"), shown);
    applyList();
  });
  // Folder tiles showing their contents (on unless turned off), likewise.
  nestedContents_ = view->addAction(tr("Nested Contents"));
  nestedContents_->setCheckable(true);
  nestedContents_->setChecked(QSettings().value(QStringLiteral("view/nestedContents"), true).toBool());
  nestedContents_->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_N));
  const auto applyView = [this, applyList] {
    applyList();
    if (auto *dashboard = root_->dashboard())
      dashboard->setNestedContents(nestedContents_->isChecked());
  };
  connect(nestedContents_, &QAction::toggled, this, [applyView](bool nested) {
    QSettings().setValue(QStringLiteral("view/nestedContents"), nested);
    applyView();
  });
  // The root view (connected first) makes the explorer on either signal.
  connect(&coordinator_, &tarnwick::TarnwickAppCoordinator::arenaChanged, this, applyView);
  connect(&coordinator_, &tarnwick::TarnwickAppCoordinator::isScanningChanged, this, applyView);
  view->addSeparator();
  find_ = view->addAction(tr("Find by Name…"), this, [this] { findWindow()->openSearch(); });
  find_->setShortcut(QKeySequence::Find);
  summary_ = view->addAction(tr("Largest Files and Types…"), this,
                             [this] { findWindow()->openSummary(); });
  summary_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
  connect(&coordinator_, &tarnwick::TarnwickAppCoordinator::arenaChanged, this, &MainWindow::syncFindWindow);
  view->addSeparator();
  // The usual keys of file browsers for going up a level.
  back_ = view->addAction(SymbolIcons::icon("chevron.left"), tr("Back to Enclosing Folder"), this, [this] {
    if (auto *dashboard = root_->dashboard(); dashboard && root_->currentWidget() == dashboard)
      dashboard->goBack();
  });
  back_->setShortcuts({QKeySequence(Qt::ALT | Qt::Key_Left), QKeySequence(Qt::Key_Backspace)});
  view->addSeparator();
  buildAppearanceMenu(view->addMenu(tr("Appearance")));

  QMenu *help = menuBar()->addMenu(tr("&Help"));
  // "&&" shows one ampersand; a single one would make the next letter a mnemonic.
  help_ = help->addAction(tr("Quillane Help && Guides"), this, &MainWindow::openHelp);
  help_->setShortcut(QKeySequence::HelpContents);
  unreadableFolders_ = help->addAction(SymbolIcons::icon("lock.shield.fill"), tr("Show Unreadable Folders…"),
                                       this, &MainWindow::showUnreadableFolders);
}

} // namespace quillane
