#include "TarnwickUI/SizeloomDashboardView.h"

#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickUI/BreadcrumbCrumbButton.h"
#include "TarnwickUI/DashboardActionBar.h"
#include "TarnwickUI/DashboardSidebar.h"
#include "TarnwickUI/FileManagerReveal.h"
#include "TarnwickUI/TreemapBreadcrumbBar.h"
#include "TarnwickUI/TreemapCanvasView.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <optional>
#include <set>

#include <QAbstractButton>
#include <QScrollArea>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace tarnwick {
namespace {

using quillane::test::TempTree;

class SizeloomDashboardViewTest : public ::testing::Test {
protected:
  void SetUp() override {
    tree.writeFile("Projects/app/main.cpp", 40'000);
    tree.writeFile("Projects/app/build/output.o", 900'000);
    tree.writeFile("Movies/holiday.mp4", 2'400'000);
    tree.writeFile("notes.txt", 12'000);
    tree.writeFile("server.log", 50'000);
    tree.makeDirectory("empty");
    arena = std::make_shared<const DiskTreeArena>(FastBulkScanner(2).scan(tree.root()));
    dashboard = std::make_unique<SizeloomDashboardView>(arena);
    dashboard->resize(1100, 700);
    dashboard->show();
  }

  NodeID childNamed(NodeID parent, std::string_view name) const {
    for (const DiskNode &child : arena->children(parent))
      if (child.name == name)
        return child.id;
    ADD_FAILURE() << "no child " << name;
    return -1;
  }
  // Clicks the tile of node `id` on the canvas: its middle, or in a folder
  // showing its contents, its header above the children's tiles.
  void clickTile(NodeID id) {
    const std::optional<TreemapRect> tile = dashboard->canvas()->tileFor(id);
    ASSERT_TRUE(tile) << "no tile for " << id;
    const CanvasRect &f = tile->frame;
    const bool header = tile->node.isDirectory && dashboard->isNestedContents();
    QTest::mouseClick(dashboard->canvas(), Qt::LeftButton, {},
                      QPoint(int(f.x + f.width / 2), int(header ? f.y + 4 : f.y + f.height / 2)));
  }
  // The names of the tiles at the first level, whichever view is on.
  std::vector<std::string> tileNames() const {
    std::vector<std::string> names;
    const NestedTreemapScene &scene = dashboard->canvas()->scene();
    for (std::size_t i = 0; i < scene.tiles().size(); ++i)
      if (scene.tiles()[i].depth == 0)
        names.push_back(scene.describe(i).node.name);
    for (const TreemapRect &tile : dashboard->canvas()->rects())
      names.push_back(tile.node.name);
    std::sort(names.begin(), names.end());
    return names;
  }

  TempTree tree;
  std::shared_ptr<const DiskTreeArena> arena;
  std::unique_ptr<SizeloomDashboardView> dashboard;
};

TEST_F(SizeloomDashboardViewTest, ClicksSelectFilesAndEnterFolders) {
  const NodeID notes = childNamed(0, "notes.txt");
  clickTile(notes);
  EXPECT_EQ(dashboard->selectedNodeID(), notes);
  EXPECT_TRUE(dashboard->actionBar()->trashButton()->isVisibleTo(dashboard.get()));
  EXPECT_EQ(dashboard->actionBar()->subjectName(), "notes.txt");
  clickTile(notes);
  EXPECT_FALSE(dashboard->selectedNodeID()) << "a second click deselects";
  EXPECT_FALSE(dashboard->actionBar()->trashButton()->isVisibleTo(dashboard.get()));

  clickTile(notes);
  const NodeID projects = childNamed(0, "Projects");
  clickTile(projects);
  EXPECT_EQ(dashboard->currentNodeID(), projects);
  EXPECT_FALSE(dashboard->selectedNodeID()) << "entering a folder clears the selection";
  EXPECT_EQ(dashboard->actionBar()->subjectName(), "Projects") << "nothing selected: the folder on screen";
  EXPECT_EQ(tileNames(), std::vector<std::string>{"app"});
  QTest::keyClick(dashboard->canvas(), Qt::Key_Down); // the keyboard selects as a click does
  EXPECT_EQ(dashboard->selectedNodeID(), childNamed(projects, "app"));
  EXPECT_EQ(dashboard->actionBar()->subjectName(), "app");
}

TEST_F(SizeloomDashboardViewTest, LargeFoldersAreLaidOutElsewhereAndOnlyTheLatestLayoutIsShown) {
  dashboard->setBackgroundLayoutThreshold(0); // every folder counts as large
  TreemapCanvasView &canvas = *dashboard->canvas();
  std::vector<NodeID> shown;
  QObject::connect(&canvas, &TreemapCanvasView::tilesChanged, [&] { shown.push_back(canvas.scene().folder()); });
  const NodeID notes = childNamed(0, "notes.txt"), movies = childNamed(0, "Movies");
  canvas.setHighlightedFileType("txt"); // the layer is painted with the dimming
  dashboard->navigateTo(childNamed(0, "Projects"));
  dashboard->navigateTo(movies); // while the first is laid out
  ASSERT_TRUE(canvas.areTilesPending());
  clickTile(notes); // still drawn, but maybe gone: not selectable
  EXPECT_FALSE(dashboard->selectedNodeID());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !canvas.areTilesPending(); }, 10'000));
  EXPECT_EQ(shown, std::vector<NodeID>{movies}) << "the replaced layout is never shown";
  EXPECT_EQ(tileNames(), std::vector<std::string>{"holiday.mp4"});
  // The layer painted on the other thread is the one painted here.
  const QImage delivered = canvas.grab().toImage();
  canvas.setScene(NestedTreemapScene(canvas.scene()));
  EXPECT_EQ(canvas.grab().toImage(), delivered);
}

TEST_F(SizeloomDashboardViewTest, NavigationGoesUpButNotPastTheRootAndEmptyFoldersSaySo) {
  const NodeID projects = childNamed(0, "Projects");
  const NodeID app = childNamed(projects, "app");
  dashboard->navigateTo(app);
  ASSERT_EQ(dashboard->breadcrumbBar()->crumbCount(), 3);
  QTest::mouseClick(dashboard->breadcrumbBar()->backButton(), Qt::LeftButton);
  EXPECT_EQ(dashboard->currentNodeID(), projects);
  EXPECT_EQ(dashboard->selectedNodeID(), app) << "the folder left is selected";

  emit dashboard->breadcrumbBar()->navigateTo(0);
  EXPECT_EQ(dashboard->currentNodeID(), 0);
  EXPECT_FALSE(dashboard->breadcrumbBar()->backButton()->isEnabled());
  dashboard->goBack();
  EXPECT_EQ(dashboard->currentNodeID(), 0) << "back at the root does nothing";

  EXPECT_FALSE(dashboard->isShowingEmptyMessage());
  dashboard->navigateTo(childNamed(0, "empty"));
  EXPECT_TRUE(dashboard->isShowingEmptyMessage());
  EXPECT_TRUE(tileNames().empty());
}

TEST_F(SizeloomDashboardViewTest, EveryTabStopShowsWhereTheKeyboardIs) {
  dashboard->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(dashboard.get()));
  dashboard->canvas()->setFocus(Qt::TabFocusReason);
  std::set<QWidget *> visited;
  for (int step = 0; step < 40 && visited.insert(QApplication::focusWidget()).second; ++step) {
    QWidget *focused = QApplication::focusWidget();
    ASSERT_TRUE(focused);
    // A plain scroll area draws no focus of its own: Tab would seem to vanish.
    EXPECT_STRNE(focused->metaObject()->className(), "QScrollArea") << "after " << step << " Tabs";
    QTest::keyClick(focused, Qt::Key_Tab);
  }
  EXPECT_GT(visited.size(), 3u) << "Tab went nowhere";
}

TEST_F(SizeloomDashboardViewTest, CategoryFilterFallsBackToEverythingAndIsWhatSmartCleanCleans) {
  const std::vector<std::string> all = tileNames();
  ASSERT_EQ(all.size(), 5u) << "the empty folder's own blocks get a tile";
  QTest::mouseClick(dashboard->sidebar()->categoryRow(1 + int(CleanableCategory::systemJunk)), Qt::LeftButton);
  EXPECT_EQ(dashboard->selectedCategory(), CleanableCategory::systemJunk);
  EXPECT_EQ(tileNames(), std::vector<std::string>{"server.log"});

  dashboard->setSelectedCategory(CleanableCategory::trashBins); // nothing matches
  EXPECT_EQ(tileNames(), all);
  dashboard->navigateTo(childNamed(0, "Projects"));
  EXPECT_EQ(dashboard->selectedCategory(), CleanableCategory::trashBins);

  QSignalSpy clean(dashboard.get(), &SizeloomDashboardView::cleanCategory);
  QTest::mouseClick(dashboard->actionBar()->smartCleanButton(), Qt::LeftButton); // Smart Clean cleans the filter
  QTest::mouseClick(dashboard->sidebar()->categoryRow(1 + int(CleanableCategory::trashBins)), Qt::LeftButton);
  EXPECT_FALSE(dashboard->selectedCategory()) << "the same row again clears the filter";
  QTest::mouseClick(dashboard->actionBar()->smartCleanButton(), Qt::LeftButton); // or else every category
  ASSERT_EQ(clean.count(), 2);
  EXPECT_EQ(clean[0][0].value<std::optional<CleanableCategory>>(), CleanableCategory::trashBins);
  EXPECT_EQ(clean[1][0].value<std::optional<CleanableCategory>>(), std::nullopt);
}

TEST_F(SizeloomDashboardViewTest, AnOpenedTailShowsOnlyItsItemsAndTheOneLevelViewIsOneToggleAway) {
  // As the canvas asks when the root's tail holds the two small files.
  dashboard->openTail(0, {childNamed(0, "Movies"), childNamed(0, "Projects"), childNamed(0, "empty")});
  EXPECT_EQ(tileNames(), (std::vector<std::string>{"notes.txt", "server.log"}));
  EXPECT_EQ(dashboard->breadcrumbBar()->crumbCount(), 2) << "the tail has its crumb";
  clickTile(childNamed(0, "notes.txt"));
  EXPECT_EQ(dashboard->selectedNodeID(), childNamed(0, "notes.txt"));
  dashboard->goBack();
  EXPECT_EQ(dashboard->currentNodeID(), 0);
  EXPECT_EQ(tileNames().size(), 5u) << "back to the whole folder";
  EXPECT_EQ(dashboard->breadcrumbBar()->crumbCount(), 1);

  dashboard->setNestedContents(false);
  EXPECT_TRUE(dashboard->canvas()->scene().isEmpty());
  EXPECT_EQ(dashboard->canvas()->rects().size(), 5u);
  dashboard->setNestedContents(true);
  EXPECT_TRUE(std::ranges::any_of(dashboard->canvas()->scene().tiles(), [](const NestedTile &tile) { return tile.depth == 2; }))
      << "Projects/app/build shows inside its folders";
}

// A tree stopped early is marked on the breadcrumb bar until a whole one
// comes; folders that could not be read are noted in the sidebar.
TEST_F(SizeloomDashboardViewTest, APartialTreeAndUnreadableFoldersAreNotedUntilAWholeTreeComes) {
  const QLabel *note = dashboard->sidebar()->unreadableNote();
  EXPECT_FALSE(note->isVisibleTo(dashboard.get()));
  std::stop_source keep;
  keep.request_stop(); // before the root is listed: the root alone, unread
  dashboard->setArena(std::make_shared<const DiskTreeArena>(FastBulkScanner(2).scan(tree.root(), {}, {}, keep.get_token())));
  EXPECT_EQ(dashboard->breadcrumbBar()->partialNote(), QStringLiteral("partial: stopped after 0 entries"));
  EXPECT_TRUE(dashboard->sidebar()->leftOutNote()->text().startsWith(dashboard->breadcrumbBar()->partialNote()));

  dashboard->setArena(std::make_shared<const DiskTreeArena>(FastBulkScanner(2).scan(tree.path("missing"))));
  ASSERT_TRUE(note->isVisibleTo(dashboard.get()));
  EXPECT_TRUE(note->text().startsWith("1 folder ")) << note->text().toStdString();
  EXPECT_TRUE(note->toolTip().contains(QString::fromStdString(tree.path("missing")))) << note->toolTip().toStdString();

  // The tooltip names the first few; the rest, listed or not, are counted.
  ScanReport many{.unreadableFolderCount = 1500,
                  .unreadablePaths = std::vector<Failure>(ScanReport::maxUnreadablePaths, {"open", "/x", EACCES, ""})};
  dashboard->sidebar()->setUnreadableFolders(many);
  EXPECT_TRUE(note->text().startsWith(QLocale().toString(1500) + " folders ")) << note->text().toStdString();
  const QStringList lines = note->toolTip().split('\n');
  ASSERT_GT(lines.size(), 1);
  EXPECT_LT(lines.size(), 20);
  EXPECT_TRUE(lines.back().contains(QLocale().toString(1500 - (lines.size() - 1)))) << lines.back().toStdString();

  dashboard->setArena(arena);
  EXPECT_FALSE(note->isVisibleTo(dashboard.get()));
  EXPECT_TRUE(dashboard->breadcrumbBar()->partialNote().isEmpty());
}

// The sidebar's note of what a scan's scope left out.
TEST(DashboardSidebarLeftOut, SaysWhatTheScopeLeftOutAndListsTheMountPoints) {
  struct Case {
    std::int64_t mounts, excluded;
    const char *text; // empty: the note is hidden; "%1" stands for the entries
    std::optional<std::int64_t> stoppedAfter = std::nullopt;
  };
  DashboardSidebar sidebar;
  for (const Case &c : {Case{0, 0, ""}, Case{1, 0, "1 mount point not entered"},
                        Case{2, 1, "2 mount points not entered · 1 item excluded"}, Case{0, 12, "12 items excluded"},
                        Case{0, 1, "partial: stopped after %1 entries · 1 item excluded", 1234567}}) {
    SCOPED_TRACE(c.text);
    ScanReport report;
    report.skippedMountCount = c.mounts, report.excludedCount = c.excluded, report.stoppedAfterEntries = c.stoppedAfter;
    for (std::int64_t i = 0; i < c.mounts; ++i)
      report.skippedMounts.push_back({"/mnt/share" + std::to_string(i), "nfs4", ScanReport::SkippedMount::Reason::remote});
    sidebar.setUnreadableFolders(report);
    EXPECT_EQ(sidebar.leftOutNote()->isVisibleTo(&sidebar), *c.text != '\0');
    if (*c.text) {
      EXPECT_EQ(sidebar.leftOutNote()->text(), QString::fromUtf8(c.text).arg(QLocale().toString(qlonglong(c.stoppedAfter.value_or(0)))));
    }
    EXPECT_EQ(sidebar.leftOutNote()->toolTip().startsWith(QStringLiteral("/mnt/share0 (nfs4)")), c.mounts > 0);
  }
}

TEST_F(SizeloomDashboardViewTest, ANewScanKeepsTheFolderOnScreenWhenItStillExists) {
  const NodeID app = childNamed(childNamed(0, "Projects"), "app");
  dashboard->navigateTo(app);
  tree.writeFile("Projects/aaa-new/file", 10'000'000); // shifts the identifiers of the new tree
  auto rescanned = std::make_shared<const DiskTreeArena>(FastBulkScanner(2).scan(tree.root()));
  dashboard->setArena(rescanned);
  EXPECT_EQ(rescanned->path(dashboard->currentNodeID()), tree.path("Projects/app"));

  auto without = std::make_shared<const DiskTreeArena>(FastBulkScanner(2).scan(tree.path("Movies")));
  dashboard->setArena(without);
  EXPECT_EQ(dashboard->currentNodeID(), 0) << "no such folder in the new tree: its root";

  TempTree other; // another root whose folders have the same names
  other.writeFile("Projects/app/other.txt", 1000);
  dashboard->setArena(rescanned);
  dashboard->navigateTo(rescanned->children(0).front().id); // Projects, the largest
  ASSERT_EQ(rescanned->children(0).front().name, "Projects");
  dashboard->setArena(std::make_shared<const DiskTreeArena>(FastBulkScanner(2).scan(other.root())));
  EXPECT_EQ(dashboard->currentNodeID(), 0) << "another tree opens at its root";
}

TEST_F(SizeloomDashboardViewTest, ARevealThatOpensNothingSaysWhatFailed) {
  FileManagerReveal::setUrlOpenerForTesting([](const QUrl &) { return false; }); // no handler for folders
  clickTile(childNamed(0, "notes.txt"));
  QTest::mouseClick(dashboard->actionBar()->revealButton(), Qt::LeftButton);
  QMessageBox *message = nullptr;
  EXPECT_TRUE(QTest::qWaitFor([&] { return (message = dashboard->findChild<QMessageBox *>()) && message->isVisible(); }));
  FileManagerReveal::setUrlOpenerForTesting({});
  ASSERT_TRUE(message);
  EXPECT_TRUE(message->text().contains("notes.txt")) << message->text().toStdString();
  EXPECT_TRUE(message->informativeText().contains(QString::fromStdString(tree.root()))) << "the folder it tried";
}

// Selecting rebuilds the crumbs; at the window's usual widths they must stay
// shown and in view, not wait for the next layout.
TEST_F(SizeloomDashboardViewTest, SelectingAFileKeepsEveryCrumbInView) {
  const NodeID movies = childNamed(0, "Movies");
  for (int width : {1040, 1280, 1600}) {
    SCOPED_TRACE(width);
    SizeloomDashboardView view(arena);
    view.resize(width, 700);
    view.show();
    view.navigateTo(movies);
    view.setSelectedNodeID(childNamed(movies, "holiday.mp4")); // as a click on its tile does
    const TreemapBreadcrumbBar &bar = *view.breadcrumbBar();
    ASSERT_EQ(bar.crumbCount(), 2);
    auto inView = [&](int i) { // whole within every widget that holds it
      const QWidget *crumb = bar.crumb(i);
      for (const QWidget *holder = crumb->parentWidget(); holder != &bar; holder = holder->parentWidget())
        if (!holder->rect().contains(QRect(crumb->mapTo(holder, QPoint(0, 0)), crumb->size())))
          return false;
      return crumb->isVisible();
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return inView(0) && inView(1); }, 1000));
  }
}

} // namespace
} // namespace tarnwick
