#include "TarnwickApp/Windows/MainWindow.h"

#include "TarnwickApp/Windows/CacheCleanupWindow.h"
#include "TarnwickApp/Windows/FindWindow.h"
#include "TarnwickApp/Windows/ReportToast.h"
#include "TarnwickApp/Windows/ScanningHUDView.h"
#include "TarnwickApp/Windows/WindowGeometry.h"
#include "TarnwickApp/Windows/ScratchHomeWindow.h"
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

class MainWindowTest : public test::ScratchHomeWindow {
protected:
  MainWindowTest() {
    tree.writeFile("home/Projects/app/build/output.o", 900'000);
    tree.writeFile("home/Projects/app/main.cpp", 40'000);
    tree.writeFile("home/Movies/holiday.mp4", 2'400'000);
    tree.writeFile("home/.cache/thumbnails/a.png", 300'000);
    tree.writeFile("home/notes.txt", 12'000);
  }

  // Shows the scanned home folder in `window`; returns its explorer.
  tarnwick::SizeloomDashboardView &explore() {
    window = makeWindow();
    scanHome(*window);
    if (!root().dashboard())
      throw std::runtime_error("the scanned home is not on show");
    return *root().dashboard();
  }
  AppRootView &root() { return *window->rootView(); }

  std::unique_ptr<MainWindow> window;
};

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

TEST_F(MainWindowTest, MoveToTrashReportsTheOutcomeAndTheUndoKeyBringsItBack) {
  coordinator->setTrashCatalogue(std::make_shared<const tarnwick::TrashCatalogue>(homeTrash()));
  tarnwick::SizeloomDashboardView &dashboard = explore();
  dashboard.setSelectedNodeID(tarnwick::findNodeByPath(*dashboard.arena(), tree.path("home/notes.txt")));
  QTest::mouseClick(dashboard.actionBar()->trashButton(), Qt::LeftButton);

  ReportToast &toast = *root().reportToast();
  ASSERT_TRUE(QTest::qWaitFor([&] { return toast.isVisible(); }));
  EXPECT_TRUE(toast.text().startsWith(QStringLiteral("Moved “notes.txt” to the Trash. "))) << toast.text().toStdString();
  EXPECT_FALSE(toast.isShowingFailure());
  EXPECT_TRUE(std::filesystem::exists(tree.path("data/Trash/files/notes.txt")));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !tarnwick::findNodeByPath(*coordinator->arena(), tree.path("home/notes.txt")); }));

  ASSERT_TRUE(toast.offersAction());
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  QTest::keySequence(window.get(), QKeySequence::Undo);
  ASSERT_TRUE(QTest::qWaitFor([&] { return toast.text().startsWith(QStringLiteral("Restored")); })) << toast.text().toStdString();
  EXPECT_TRUE(std::filesystem::exists(tree.path("home/notes.txt")));
  EXPECT_FALSE(std::filesystem::exists(tree.path("data/Trash/files/notes.txt")));
  EXPECT_TRUE(QTest::qWaitFor([&] { return tarnwick::findNodeByPath(*coordinator->arena(), tree.path("home/notes.txt")).has_value(); }))
      << "the tree shows it again";
  EXPECT_FALSE(toast.offersAction()) << "undone once";

  // The scan root itself is the home folder here: the guard refuses it, and says so.
  emit dashboard.moveToTrash(*coordinator->arena()->rootNode());
  ASSERT_TRUE(QTest::qWaitFor([&] { return toast.isShowingFailure(); }));
  EXPECT_TRUE(toast.text().startsWith(QStringLiteral("Deletion rejected"))) << toast.text().toStdString();
  EXPECT_TRUE(std::filesystem::exists(tree.path("home")));
}

// What the guard would refuse is greyed out, with its reason, before it is
// chosen: the personal folder itself here, unlike a file beside it.
TEST_F(MainWindowTest, MoveToTrashIsGreyedOutWhereTheGuardWouldRefuseIt) {
  tarnwick::SizeloomDashboardView &dashboard = explore();
  for (const auto &[name, refused] : {std::pair{"Movies", true}, std::pair{"notes.txt", false}}) {
    SCOPED_TRACE(name);
    dashboard.setSelectedNodeID(tarnwick::findNodeByPath(*dashboard.arena(), tree.path("home/") + name));
    const QPushButton *button = dashboard.actionBar()->trashButton();
    EXPECT_EQ(button->isEnabled(), !refused);
    EXPECT_EQ(button->toolTip().startsWith(QStringLiteral("Deletion rejected")), refused) << button->toolTip().toStdString();
    const std::unique_ptr<QMenu> menu = test::menuOf(dashboard, name);
    const QAction *trash = test::actionNamed(*menu, "Move to Trash");
    ASSERT_TRUE(trash);
    EXPECT_EQ(trash->isEnabled(), !refused);
    if (refused) {
      EXPECT_EQ(trash->toolTip(), button->toolTip());
    }
  }
}

// A restore from the Trash window shows the item again, as an undo does.
TEST_F(MainWindowTest, RestoringFromTheTrashWindowShowsTheItemAgain) {
  tarnwick::SizeloomDashboardView &dashboard = explore();
  window->setTrashCatalogue(tarnwick::TrashCatalogue(homeTrash())); // the engine's, as the application sets it
  const std::string notes = tree.path("home/notes.txt");
  emit dashboard.moveToTrash(*coordinator->arena()->node(*tarnwick::findNodeByPath(*coordinator->arena(), notes)));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !tarnwick::findNodeByPath(*coordinator->arena(), notes); }));
  tarnwick::TrashController &trash = window->showTrash()->controller();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !trash.isBusy() && !trash.items().empty(); }));
  const auto listed = std::ranges::find(trash.items(), notes, &tarnwick::TrashedItem::originalPath);
  ASSERT_NE(listed, trash.items().end());
  trash.restore({static_cast<std::size_t>(listed - trash.items().begin())});
  EXPECT_TRUE(QTest::qWaitFor([&] { return tarnwick::findNodeByPath(*coordinator->arena(), notes).has_value(); }));
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

// Its names need not be UTF-8 nor of one line.
TEST_F(MainWindowTest, TheMenuItemShowsTheTrashAndEmptyingItAfterYesRemovesIt) {
  std::vector<std::string> trashed;
  for (const char *name : {"home/notes.txt", "home/old\nversion\xff.doc", "home/Movies/clip.mp4"}) {
    tree.writeFile(name, 200'000);
    trashed.push_back(tree.path(name));
    ASSERT_TRUE(homeTrash().moveToTrash(trashed.back())) << name;
  }
  window = makeWindow();
  window->setTrashCatalogue(tarnwick::TrashCatalogue(homeTrash()));
  window->showTrashAction()->trigger();
  auto *view = window->findChild<TrashWindow *>();
  ASSERT_TRUE(view && view->isVisible());
  ASSERT_TRUE(QTest::qWaitFor([&] { return view->controller().hasListed() && !view->controller().isBusy(); }));
  QStringList shown;
  const QAbstractItemModel &model = *view->table()->model();
  for (int row = 0; row < model.rowCount(); ++row)
    shown << model.index(row, 0).data().toString();
  for (const std::string &path : trashed)
    EXPECT_TRUE(shown.contains(tarnwick::WidgetStyle::displayText(path))) << path;
  if (model.rowCount() != int(trashed.size()))
    GTEST_SKIP() << "a mounted drive's Trash holds items: emptying would remove them too";
  EXPECT_FALSE(view->restoreButton()->isEnabled()) << "nothing selected";
  test::saveScreenshot(*view, "trash-view");
  int asked = 0;
  view->setConfirmer([&](QWidget *, const QString &) { return ++asked > 0; });
  const std::int64_t total = view->controller().totalBytes();
  QTest::mouseClick(view->emptyButton(), Qt::LeftButton);
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(view->controller().isEmptying());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !view->controller().isBusy() && view->controller().items().empty(); }));
  EXPECT_TRUE(view->controller().lastSucceeded()) << view->statusText().toStdString();
  EXPECT_TRUE(view->statusText().contains(tarnwick::TreemapPalette::formatBytes(total))) << view->statusText().toStdString();
  EXPECT_TRUE(std::filesystem::is_empty(tree.path("data/Trash/files")));
  EXPECT_FALSE(view->emptyButton()->isEnabled());
}

// The Find window on its own: the summary follows the folder only while
// shown; the treemap dims all but a type.
TEST(FindWindowTest, SummarizesTheFolderOnShowOnlyWhenOpen) {
  test::TempTree tree;
  tree.writeFile("a/big.iso", 500'000);
  tree.writeFile("b/small.txt", 5'000);
  auto arena = std::make_shared<const tarnwick::DiskTreeArena>(tarnwick::FastBulkScanner().scan(tree.root()));
  FindWindow window;
  QSignalSpy summarized(window.summary(), &tarnwick::FolderSummaryPanel::summaryShown);
  window.setFolder(arena, *tarnwick::findNodeByPath(*arena, tree.path("a")));
  window.setFolder(arena, *tarnwick::findNodeByPath(*arena, tree.path("b")));
  EXPECT_EQ(summarized.count(), 0) << "nothing is summed up while the window is hidden";
  window.openSummary();
  ASSERT_TRUE(summarized.wait(5000));
  const QAbstractItemModel *largest = window.summary()->largestFiles()->model();
  ASSERT_EQ(largest->rowCount(), 1);
  EXPECT_EQ(largest->index(0, 0).data(Qt::ToolTipRole).toString(), QString::fromStdString(tree.path("b/small.txt")));
}

TEST(FindWindowTest, TheTreemapDimsEveryTileButTheFilesOfTheChosenType) {
  tarnwick::TreemapCanvasView canvas;
  canvas.resize(200, 100);
  tarnwick::TreemapRect photo, notes, folder;
  photo.id = 1, photo.node.name = "Photo.JPG", photo.insetFrame = {0, 0, 100, 100};
  notes.id = 2, notes.node.name = "notes.txt", notes.insetFrame = {100, 0, 50, 100};
  folder.id = 3, folder.node.name = "pics.jpg", folder.node.isDirectory = true, folder.insetFrame = {150, 0, 50, 100};
  canvas.setRects({photo, notes, folder});
  const QImage plain = canvas.grab().toImage();
  canvas.setHighlightedFileType("jpg");
  const QImage highlighted = canvas.grab().toImage();
  EXPECT_EQ(highlighted.pixel(50, 50), plain.pixel(50, 50));
  EXPECT_NE(highlighted.pixel(125, 50), plain.pixel(125, 50));
  EXPECT_NE(highlighted.pixel(175, 50), plain.pixel(175, 50)) << "a folder holds any type";
  canvas.setHighlightedFileType(std::nullopt);
  EXPECT_EQ(canvas.grab().toImage().pixel(125, 50), plain.pixel(125, 50));
}

// Free areas in device-independent pixels, as a scale factor makes them.
TEST(WindowGeometryTest, TheWindowFitsTheScreenItOpensOn) {
  struct Case {
    QSize available, minimum, initial;
  };
  for (auto [available, minimum, initial] : {
           Case{{2560, 1400}, {1040, 680}, {1280, 800}}, // room to spare: as designed
           Case{{1600, 964}, {1040, 680}, {1280, 800}},  // 1600 x 1000 less a panel
           Case{{1066, 630}, {1040, 630}, {1040, 630}},  // the same screen at 1.5: no taller than it
           Case{{800, 464}, {800, 464}, {800, 464}},     // at 2
           Case{{}, {1040, 680}, {1280, 800}},           // no screen known
       }) {
    const WindowGeometry geometry = WindowGeometry::forScreen(available);
    EXPECT_EQ(geometry.minimum, minimum) << available.width() << "x" << available.height();
    EXPECT_EQ(geometry.initial, initial) << available.width() << "x" << available.height();
  }
}

} // namespace
} // namespace quillane
