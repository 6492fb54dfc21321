#include "TarnwickApp/Windows/MainWindowFixture.h"

#include "TarnwickApp/Windows/CacheCleanupWindow.h"
#include "TarnwickApp/Windows/FindWindow.h"
#include "TarnwickApp/Windows/ReportToast.h"
#include "TarnwickApp/Windows/ScanningHUDView.h"
#include "TarnwickApp/Windows/TrashWindow.h"
#include "TarnwickCore/Tree/ArenaEdit.h"
#include "TarnwickUI/DashboardActionBar.h"
#include "TarnwickUI/FileManagerReveal.h"
#include "TarnwickUI/FolderSummaryPanel.h"
#include "TarnwickUI/NameSearchPanel.h"
#include "TarnwickUI/SizeloomDashboardView.h"
#include "TarnwickUI/TreemapBreadcrumbBar.h"
#include "TarnwickUI/TreemapCanvasView.h"
#include "TarnwickUI/TreemapPalette.h"
#include "TarnwickUI/TreemapTooltip.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QTreeView>

#include <filesystem>

namespace quillane {
namespace {

using test::saveScreenshot;

TEST_F(MainWindowTest, ScanFlowFromLauncherThroughScanningToExplorer) {
  window = makeWindow();
  const QSize screen = window->screen()->availableGeometry().size();
  EXPECT_TRUE(window->minimumSize().width() <= screen.width() && window->minimumSize().height() <= screen.height())
      << "the whole window fits the screen it opens on";
  EXPECT_FALSE(window->cancelScanAction()->isEnabled());
  EXPECT_EQ(window->scanHomeAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));

  QTest::mouseClick(root().launcher()->card(0), Qt::LeftButton);
  ASSERT_TRUE(coordinator->isScanning());
  ScanningHUDView &hud = *root().scanningDisplay();
  EXPECT_EQ(root().currentWidget(), &hud);
  EXPECT_TRUE(window->cancelScanAction()->isEnabled());
  EXPECT_FALSE(hud.isShowingStatistics()) << "nothing to show before the first report";
  ASSERT_TRUE(QTest::qWaitFor([&] { return hud.isShowingStatistics(); }));
  EXPECT_EQ(hud.currentPathText(), QString::fromStdString(tree.path("home/first")));
  EXPECT_EQ(hud.filesText(), QLocale().toString(1234));
  saveScreenshot(*window, "scanning");

  scan.open();
  ASSERT_TRUE(QTest::qWaitFor([&] { return root().dashboard() != nullptr; }));
  EXPECT_EQ(root().currentWidget(), root().dashboard());
  EXPECT_FALSE(window->cancelScanAction()->isEnabled());
  EXPECT_EQ(window->windowTitle(), QString::fromStdString(tree.path("home")) + " — Quillane");
  tarnwick::SizeloomDashboardView &dashboard = *root().dashboard();
  const std::vector<tarnwick::DiskNode> top = dashboard.arena()->children(0);
  const auto folder = std::ranges::find_if(top, &tarnwick::DiskNode::isDirectory);
  ASSERT_NE(folder, top.end());
  dashboard.navigateTo(folder->id);
  window->backAction()->trigger(); // Alt+Left, Backspace
  EXPECT_EQ(dashboard.currentNodeID(), 0);
  tarnwick::TreemapCanvasView &canvas = *dashboard.canvas();
  ASSERT_FALSE(canvas.scene().isEmpty());
  QTest::mouseMove(&canvas, QPoint(canvas.width() / 4, 120));
  EXPECT_TRUE(QTest::qWaitFor([&] { return canvas.tooltip()->panelOpacity() >= 1.0; })) << "the tooltip fades in";
  saveScreenshot(*window, "explorer");
  window->nestedContentsAction()->trigger();
  EXPECT_FALSE(dashboard.isNestedContents());
  EXPECT_FALSE(canvas.rects().empty()) << "one level, one toggle away";
  window->nestedContentsAction()->trigger();
  EXPECT_TRUE(canvas.rects().empty());
}

// A cancelled scan leaves what was on show, and its title; a folder chooser
// that answers nothing starts no scan, one that answers scans that folder.
TEST_F(MainWindowTest, CancelReturnsToWhatWasShownBeforeAndTheChosenFolderIsScanned) {
  window = makeWindow();
  window->setFolderChooser([](QWidget *) { return std::optional<QString>(); });
  window->chooseFolderAction()->trigger();
  EXPECT_FALSE(coordinator->isScanning());
  window->scanDiskAction()->trigger();
  ASSERT_TRUE(coordinator->isScanning());
  window->cancelScanAction()->trigger();
  EXPECT_EQ(root().currentWidget(), root().launcher()) << "no earlier result";

  scanHome(*window);
  const QString home = QString::fromStdString(tree.path("home")), movies = QString::fromStdString(tree.path("home/Movies"));
  window->setFolderChooser([&](QWidget *) { return std::optional<QString>(movies); });
  window->chooseFolderAction()->trigger();
  EXPECT_TRUE(window->windowTitle().contains(movies)) << "the root being scanned: " << window->windowTitle().toStdString();
  QTest::mouseClick(root().scanningDisplay()->cancelButton(), Qt::LeftButton);
  EXPECT_EQ(root().currentWidget(), root().dashboard()) << "back to the earlier result";
  EXPECT_EQ(window->windowTitle(), home + " — Quillane") << "the tree on show again";
  window->chooseFolderAction()->trigger();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !coordinator->isScanning(); }));
  EXPECT_EQ(coordinator->arena()->rootPath(), tree.path("home/Movies"));
}

TEST_F(MainWindowTest, StopShowsTheTreeReadSoFarMarkedPartial) {
  window = makeWindow();
  window->scanHomeAction()->trigger();
  ASSERT_TRUE(QTest::qWaitFor([&] { return scan.started() == 1; }));
  QPushButton *stop = root().scanningDisplay()->stopButton();
  QTest::mouseClick(stop, Qt::LeftButton);
  EXPECT_FALSE(stop->isEnabled()) << "asked once; the freeze may take a while";
  ASSERT_TRUE(QTest::qWaitFor([&] { return root().dashboard() != nullptr && !coordinator->isScanning(); }));
  EXPECT_EQ(root().currentWidget(), root().dashboard());
  EXPECT_TRUE(root().dashboard()->breadcrumbBar()->partialNote().startsWith("partial: stopped after "));
  window->scanHomeAction()->trigger();
  EXPECT_TRUE(stop->isEnabled()) << "the next scan can be stopped too";
  QTest::mouseClick(root().scanningDisplay()->cancelButton(), Qt::LeftButton);
}

TEST_F(MainWindowTest, AFailedScanSaysWhy) {
  scan.failWith("The disk went away.");
  scan.open();
  window = makeWindow();
  window->scanHomeAction()->trigger();
  ReportToast &toast = *root().reportToast();
  ASSERT_TRUE(QTest::qWaitFor([&] { return toast.isVisible(); }));
  EXPECT_EQ(toast.text(), "The scan failed: The disk went away.");
  EXPECT_EQ(root().currentWidget(), root().launcher());
  QWidget *onTop = root().childAt(toast.geometry().center());
  EXPECT_TRUE(onTop == &toast || toast.isAncestorOf(onTop)) << "the page switch must not cover the message";
}

TEST_F(MainWindowTest, SmartCleanWritesTheCategoryLine) {
  tarnwick::SizeloomDashboardView &dashboard = explore();
  testing::internal::CaptureStdout();
  QTest::mouseClick(dashboard.actionBar()->smartCleanButton(), Qt::LeftButton);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Cleaning category: All Files\n");
  auto *caches = window->findChild<CacheCleanupWindow *>();
  ASSERT_TRUE(caches) << "Smart Clean also opens the cache window";
  EXPECT_FALSE(caches->controller().categoryFilter()) << "All Files: every cache, unfiltered";

  dashboard.setSelectedCategory(tarnwick::CleanableCategory::userCache);
  QTest::mouseClick(dashboard.actionBar()->smartCleanButton(), Qt::LeftButton);
  EXPECT_EQ(caches->controller().categoryFilter(), tarnwick::CleanableCategory::userCache);
  // The Trash holds no caches: cleaning Trash Bins is emptying it.
  window->setTrashCatalogue(tarnwick::TrashCatalogue(homeTrash()));
  caches->hide();
  dashboard.setSelectedCategory(tarnwick::CleanableCategory::trashBins);
  QTest::mouseClick(dashboard.actionBar()->smartCleanButton(), Qt::LeftButton);
  auto *trash = window->findChild<TrashWindow *>();
  EXPECT_TRUE(trash && trash->isVisible());
  EXPECT_FALSE(caches->isVisible()) << "not the cache window";
  EXPECT_EQ(caches->controller().categoryFilter(), tarnwick::CleanableCategory::userCache);

  QTest::mouseClick(root().launcher()->card(3), Qt::LeftButton); // the launcher's card shows every category
  EXPECT_FALSE(caches->controller().categoryFilter());
  EXPECT_EQ(window->cleanCachesAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_K));
}

TEST_F(MainWindowTest, AFolderRescanReadsOnlyThatFolderAndKeepsItOnShow) {
  tarnwick::SizeloomDashboardView &dashboard = explore();
  auto at = [&](const char *relative) { return tarnwick::findNodeByPath(*dashboard.arena(), tree.path(relative)); };
  dashboard.navigateTo(*at("home/Projects/app"));
  tree.writeFile("home/Projects/app/new.bin", 500'000);
  tree.writeFile("home/Movies/later.mp4", 100'000);
  QTest::mouseClick(dashboard.breadcrumbBar()->rescanButton(), Qt::LeftButton);
  EXPECT_TRUE(coordinator->isRescanningFolder());
  EXPECT_EQ(root().currentWidget(), &dashboard) << "the explorer stays on screen";
  ASSERT_TRUE(QTest::qWaitFor([&] { return !coordinator->isScanning(); }));
  EXPECT_EQ(dashboard.arena(), coordinator->arena());
  EXPECT_EQ(dashboard.arena()->path(dashboard.currentNodeID()), tree.path("home/Projects/app"));
  EXPECT_TRUE(at("home/Projects/app/new.bin"));
  EXPECT_FALSE(at("home/Movies/later.mp4"));

  // A folder tile's menu rescans that folder.
  dashboard.navigateTo(0);
  const std::unique_ptr<QMenu> menu = test::menuOf(dashboard, "Movies");
  QAction *rescan = test::actionNamed(*menu, "Rescan This Folder");
  ASSERT_TRUE(rescan);
  rescan->trigger();
  EXPECT_TRUE(coordinator->isRescanningFolder());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !coordinator->isScanning(); }));
  EXPECT_TRUE(at("home/Movies/later.mp4"));
  EXPECT_EQ(dashboard.currentNodeID(), 0);
  saveScreenshot(*window, "folder-rescanned");
}

TEST_F(MainWindowTest, FindShowsWhatItFindsAndTheSummaryFollowsTheFolder) {
  tarnwick::SizeloomDashboardView &dashboard = explore();
  window->findAction()->trigger();
  FindWindow *find = window->findWindow();
  ASSERT_TRUE(find->isVisible());
  QSignalSpy shown(find->search(), &tarnwick::NameSearchPanel::resultsShown);
  find->search()->field()->setText("HOLIDAY");
  ASSERT_TRUE(shown.count() > 0 || shown.wait(5000));
  saveScreenshot(*find, "find-by-name");
  emit find->search()->field()->returnPressed();
  EXPECT_EQ(dashboard.arena()->path(dashboard.currentNodeID()), tree.path("home/Movies"));
  ASSERT_TRUE(dashboard.selectedNodeID());
  EXPECT_EQ(dashboard.arena()->path(*dashboard.selectedNodeID()), tree.path("home/Movies/holiday.mp4"));

  // The summary is of the folder on show, and follows it.
  QSignalSpy summarized(find->summary(), &tarnwick::FolderSummaryPanel::summaryShown);
  window->summaryAction()->trigger();
  ASSERT_TRUE(summarized.count() > 0 || summarized.wait(5000));
  summarized.clear();
  dashboard.navigateTo(*tarnwick::findNodeByPath(*dashboard.arena(), tree.path("home/Projects")));
  ASSERT_TRUE(summarized.wait(5000));
  const QAbstractItemModel *types = find->summary()->fileTypes()->model();
  EXPECT_EQ(types->rowCount(), 2) << ".o and .cpp";
  find->summary()->fileTypes()->setCurrentIndex(types->index(0, 0));
  EXPECT_EQ(dashboard.canvas()->highlightedFileType(), "o");
  saveScreenshot(*find, "largest-files-and-types");
  saveScreenshot(*window, "file-type-highlighted");
  find->close();
  EXPECT_FALSE(dashboard.canvas()->highlightedFileType()) << "closing the window ends the highlight";
}

TEST_F(MainWindowTest, TheListShowsAtStartWhenLeftOnAndTheMenuTogglesIt) {
  const QString key = QStringLiteral("view/showList");
  const QVariant saved = QSettings().value(key);
  QSettings().setValue(key, true);
  tarnwick::SizeloomDashboardView &dashboard = explore();
  EXPECT_TRUE(dashboard.isListVisible());
  window->showListAction()->trigger();
  EXPECT_FALSE(dashboard.isListVisible());
  EXPECT_FALSE(QSettings().value(key).toBool());
  saved.isValid() ? QSettings().setValue(key, saved) : QSettings().remove(key);
}

// Its ampersand shown as written, not taken as a mnemonic; and when nothing
// opens the guide, the failure is shown.
TEST_F(MainWindowTest, HelpShowsItsAmpersandAndSaysWhenNothingOpensIt) {
  window = makeWindow();
  EXPECT_TRUE(window->helpAction()->iconText().contains('&'));
  EXPECT_TRUE(QKeySequence::mnemonic(window->helpAction()->text()).isEmpty());
  tarnwick::FileManagerReveal::setUrlOpenerForTesting([](const QUrl &) { return false; }); // no handler
  window->helpAction()->trigger();
  tarnwick::FileManagerReveal::setUrlOpenerForTesting({});
  auto *message = window->findChild<QMessageBox *>();
  ASSERT_TRUE(message && message->isVisible());
  const QString guide = MainWindow::helpDocumentPath();
  EXPECT_TRUE(guide.isEmpty() || message->text().contains(guide)) << message->text().toStdString();
}

} // namespace
} // namespace quillane
