#include "TarnwickUI/TreeListView.h"

#include "TarnwickCore/Tree/ArenaEdit.h"
#include "TarnwickUI/SizeloomDashboardView.h"
#include "TarnwickUI/TreeListFixtures.h"
#include "TarnwickUI/TreeListModel.h"
#include "TarnwickUI/TreemapCanvasView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QTest>

namespace tarnwick {
namespace {

using quillane::test::buildTree;

// The explorer with its list shown, over a small tree with nested folders.
class TreeListViewTest : public ::testing::Test {
protected:
  void SetUp() override {
    arena = buildTree({{"media/film.mp4", 9000}, {"media/clips/a.mov", 3000}, {"media/clips/b.mov", 1000},
                       {"code/src/main.cpp", 400}, {"code/README", 100}, {"notes.txt", 50}});
    dashboard = std::make_unique<SizeloomDashboardView>(arena);
    dashboard->resize(1200, 700);
    dashboard->setListVisible(true);
    dashboard->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dashboard.get()));
  }
  TreeListView &list() const { return *dashboard->treeList(); }
  TreeListModel &model() const { return *list().listModel(); }
  NodeID at(std::string_view path) const { return *findNodeByPath(*dashboard->arena(), "/t/" + std::string(path)); }
  QModelIndex row(std::string_view path) const { return model().indexOf(at(path)); }
  // The centre of a row's name cell, in viewport coordinates.
  QPoint centre(const QModelIndex &index) const { return list().visualRect(index).center(); }
  // A widget's test double-click is one event: the press comes first, as from a user.
  void doubleClick(std::string_view path) const {
    QTest::mouseClick(list().viewport(), Qt::LeftButton, {}, centre(row(path)));
    QTest::mouseDClick(list().viewport(), Qt::LeftButton, {}, centre(row(path)));
  }
  // Runs the view's pending layout, which fetches the rows of expanded folders.
  static void settle() { QApplication::processEvents(); }

  std::shared_ptr<const DiskTreeArena> arena;
  std::unique_ptr<SizeloomDashboardView> dashboard;
};

TEST_F(TreeListViewTest, FollowsTheTreemapsFolderAndSelection) {
  EXPECT_EQ(model().topFolder(), DiskTreeArena::rootID);
  dashboard->navigateTo(at("media"));
  EXPECT_EQ(model().topFolder(), at("media"));
  dashboard->setSelectedNodeID(at("media/film.mp4"));
  EXPECT_EQ(list().selectedNodeID(), at("media/film.mp4"));
  // A node deeper than the treemap shows: its parents open to reveal it.
  dashboard->setSelectedNodeID(at("media/clips/b.mov"));
  EXPECT_TRUE(list().isExpanded(row("media/clips")));
  EXPECT_EQ(list().selectedNodeID(), at("media/clips/b.mov"));
  dashboard->setSelectedNodeID(std::nullopt);
  EXPECT_EQ(list().selectedNodeID(), std::nullopt);
}

TEST_F(TreeListViewTest, ClicksSelectAndDoubleClickOrEnterEntersFolders) {
  QTest::mouseClick(list().viewport(), Qt::LeftButton, {}, centre(row("notes.txt")));
  EXPECT_EQ(dashboard->selectedNodeID(), at("notes.txt"));
  EXPECT_EQ(dashboard->canvas()->selectedNodeID(), at("notes.txt"));
  doubleClick("notes.txt");
  EXPECT_EQ(dashboard->currentNodeID(), DiskTreeArena::rootID); // a file is not entered

  doubleClick("code");
  EXPECT_EQ(dashboard->currentNodeID(), at("code"));
  EXPECT_EQ(model().topFolder(), at("code"));

  list().setFocus();
  list().setCurrentIndex(row("code/src"));
  QTest::keyClick(&list(), Qt::Key_Return);
  EXPECT_EQ(dashboard->currentNodeID(), at("code/src"));
  settle();
  EXPECT_EQ(model().rowCount(), 1);
}

TEST_F(TreeListViewTest, ANewScanKeepsTheExpandedFoldersByPath) {
  list().expand(row("media"));
  list().expand(row("media/clips"));
  list().expand(row("code"));
  dashboard->setSelectedNodeID(at("media/film.mp4"));
  // The new tree has "code" gone and a new folder first, so every
  // identifier moves.
  dashboard->setArena(buildTree({{"added/new", 1}, {"media/film.mp4", 9000}, {"media/clips/a.mov", 3000}}));
  EXPECT_EQ(model().arena(), dashboard->arena());
  EXPECT_TRUE(list().isExpanded(row("media")));
  EXPECT_TRUE(list().isExpanded(row("media/clips")));
  EXPECT_FALSE(list().isExpanded(row("added")));
  EXPECT_EQ(list().selectedNodeID(), std::nullopt); // a new scan clears the selection
  settle();
  EXPECT_EQ(model().fetchedFolders(), (std::vector<NodeID>{0, at("media"), at("media/clips")}));
}

TEST_F(TreeListViewTest, FetchesOnExpansionOnlyAndWhileShown) {
  EXPECT_EQ(model().fetchedFolders(), (std::vector<NodeID>{0}));
  list().expand(row("code"));
  EXPECT_EQ(model().fetchedFolders(), (std::vector<NodeID>{0, at("code")}));
  // Hidden, the list does not follow (and fetches nothing) until shown again.
  dashboard->setListVisible(false);
  dashboard->navigateTo(at("media"));
  EXPECT_EQ(model().topFolder(), DiskTreeArena::rootID);
  dashboard->setListVisible(true);
  EXPECT_EQ(model().topFolder(), at("media"));
}

TEST_F(TreeListViewTest, HeaderClicksSortTheExpandedFolders) {
  list().expand(row("media"));
  QHeaderView *header = list().header();
  const int x = header->sectionViewportPosition(TreeListModel::nameColumn) + 10;
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
  EXPECT_EQ(model().sortColumn(), TreeListModel::nameColumn);
  const QModelIndex media = row("media");
  EXPECT_EQ(model().index(0, 0, media).data().toString(), QStringLiteral("clips"));
  EXPECT_EQ(model().index(1, 0, media).data().toString(), QStringLiteral("film.mp4"));
}

} // namespace
} // namespace tarnwick
