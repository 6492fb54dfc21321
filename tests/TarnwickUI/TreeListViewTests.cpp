#include "TarnwickUI/TreeListView.h"

#include "TarnwickCore/Tree/ArenaEdit.h"
#include "TarnwickUI/NameSearchModel.h"
#include "TarnwickUI/NameSearchPanel.h"
#include "TarnwickUI/SizeloomDashboardView.h"
#include "TarnwickUI/TreeListFixtures.h"
#include "TarnwickUI/TreeListModel.h"
#include "TarnwickUI/TreemapCanvasView.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

namespace tarnwick {
namespace {

using quillane::test::buildTree;
using quillane::test::TreeEntry;

// Sizes, names and times that order differently under every column.
const std::vector<TreeEntry> sortingTree = {
    {"b/x", 300, 30},   {"b/y", 100, 10},    {"c", 500, 10},  {"Apple", 200, 40},
    {"d/one", 50, 20},  {"d/two", 50, 20},   {"d/three", 50, 20},
};

std::vector<std::string> topNames(TreeListModel &model) {
  if (model.canFetchMore({}))
    model.fetchMore({});
  std::vector<std::string> names;
  for (int row = 0; row < model.rowCount(); ++row)
    names.push_back(model.index(row, TreeListModel::nameColumn).data().toString().toStdString());
  return names;
}

TEST(TreeListModel, PassesTheModelTesterWhileFetchedAndSorted) {
  auto arena = buildTree(sortingTree);
  TreeListModel model;
  // Any complaint of the tester ends the test as a failure.
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  // The tester would fetch while the reset is still in flight, and then
  // object to its own fetch: rows are fetched here instead, as a view does.
  tester.setUseFetchMore(false);
  model.setTree(arena, DiskTreeArena::rootID);
  model.fetchMore({});
  model.indexOf(*model.childNamed(*model.childNamed(0, "b"), "x")); // fetches b
  model.sort(TreeListModel::nameColumn, Qt::AscendingOrder);
  model.sort(TreeListModel::modifiedColumn, Qt::DescendingOrder);
  model.setTree(arena, *model.childNamed(0, "d"));
  model.fetchMore({});
  EXPECT_EQ(model.rowCount(), 3);
  model.setTree(nullptr, 0);
  EXPECT_EQ(model.rowCount(), 0);
}

// Each column orders the top level; equal keys follow their names A to Z in
// both directions. In sortingTree, folder sizes are b 400, d 150, and folders
// take no time of their own (0).
TEST(TreeListModel, SortsTheTopLevelByEachColumn) {
  const auto sorting = buildTree(sortingTree);
  const auto ties = buildTree({{"zeta", 100, 10}, {"Mid", 100, 10}, {"alpha", 100, 10}, {"big", 300, 10}});
  const struct {
    const std::shared_ptr<const DiskTreeArena> &tree;
    int column;
    Qt::SortOrder order;
    std::vector<std::string> names;
  } cases[] = {
      {sorting, TreeListModel::sizeColumn, Qt::AscendingOrder, {"d", "Apple", "b", "c"}},
      {sorting, TreeListModel::shareColumn, Qt::DescendingOrder, {"c", "b", "Apple", "d"}},
      {sorting, TreeListModel::nameColumn, Qt::AscendingOrder, {"Apple", "b", "c", "d"}},
      {sorting, TreeListModel::nameColumn, Qt::DescendingOrder, {"d", "c", "b", "Apple"}},
      {sorting, TreeListModel::filesColumn, Qt::DescendingOrder, {"d", "b", "Apple", "c"}},
      {sorting, TreeListModel::modifiedColumn, Qt::DescendingOrder, {"Apple", "c", "b", "d"}},
      {ties, TreeListModel::sizeColumn, Qt::AscendingOrder, {"alpha", "Mid", "zeta", "big"}},
      {ties, TreeListModel::sizeColumn, Qt::DescendingOrder, {"big", "alpha", "Mid", "zeta"}},
      {ties, TreeListModel::modifiedColumn, Qt::DescendingOrder, {"alpha", "big", "Mid", "zeta"}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(::testing::Message() << "column " << c.column << " order " << c.order);
    TreeListModel model;
    model.setTree(c.tree, DiskTreeArena::rootID);
    model.sort(c.column, c.order);
    EXPECT_EQ(topNames(model), c.names);
  }
}

TEST(TreeListModel, StartsLargestFirstAndShowsShares) {
  TreeListModel model;
  model.setTree(buildTree(sortingTree), DiskTreeArena::rootID);
  EXPECT_EQ(topNames(model), (std::vector<std::string>{"c", "b", "Apple", "d"}));
  const QModelIndex b = model.index(1, TreeListModel::shareColumn);
  EXPECT_DOUBLE_EQ(b.data(TreeListModel::shareRole).toDouble(), 400.0 / 1250.0);
  EXPECT_EQ(b.data().toString(), QStringLiteral("32.0%"));
  EXPECT_EQ(model.index(1, TreeListModel::filesColumn).data().toString(), QStringLiteral("2"));
  EXPECT_EQ(model.index(0, TreeListModel::filesColumn).data().toString(), QString()); // a file
  EXPECT_TRUE(model.index(0, 0).flags() & Qt::ItemNeverHasChildren);
  EXPECT_TRUE(model.hasChildren(model.index(1, 0)));
}

TEST(TreeListModel, FetchesOnlyTheFoldersAskedFor) {
  auto arena = buildTree({{"a/b/c/file", 10}, {"a/other/file", 5}, {"z/file", 1}});
  TreeListModel model;
  model.setTree(arena, DiskTreeArena::rootID);
  EXPECT_TRUE(model.fetchedFolders().empty());
  EXPECT_EQ(model.rowCount(), 0);
  const NodeID a = *model.childNamed(0, "a"), b = *model.childNamed(a, "b"), c = *model.childNamed(b, "c");
  const QModelIndex file = model.indexOf(*model.childNamed(c, "file"));
  ASSERT_TRUE(file.isValid());
  EXPECT_EQ(model.fetchedFolders(), (std::vector<NodeID>{0, a, b, c}));
  EXPECT_EQ(model.nodeID(file.parent().parent()), b);
  // Below another top folder, nodes outside it have no row.
  model.setTree(arena, b);
  EXPECT_FALSE(model.indexOf(*model.childNamed(0, "z")).isValid());
  EXPECT_FALSE(model.indexOf(b).isValid());
  EXPECT_TRUE(model.indexOf(c).isValid());
}

TEST(TreeListModel, SortingKeepsPersistentRowsOnTheirNodes) {
  auto arena = buildTree(sortingTree);
  TreeListModel model;
  model.setTree(arena, DiskTreeArena::rootID);
  const NodeID b = *model.childNamed(0, "b");
  const NodeID y = *model.childNamed(b, "y");
  const QPersistentModelIndex folderRow(model.indexOf(b)), fileRow(model.indexOf(y, TreeListModel::sizeColumn));
  for (int column : {TreeListModel::nameColumn, TreeListModel::modifiedColumn, TreeListModel::sizeColumn}) {
    model.sort(column, Qt::AscendingOrder);
    EXPECT_EQ(model.nodeID(folderRow), b);
    EXPECT_EQ(model.nodeID(fileRow), y);
    EXPECT_EQ(fileRow.column(), TreeListModel::sizeColumn);
    EXPECT_EQ(model.index(fileRow.row(), 0, fileRow.parent()).data().toString(), QStringLiteral("y"));
  }
}

// The list beside the treemap and the search results, narrowed: the name
// keeps a share of the width, Size stays readable, and nothing needs a
// sideways scroll; with room enough every column shows.
TEST(NameColumnFitTest, NamesKeepTheirShareAsTheViewNarrows) {
  TreeListView list;
  list.showFolder(buildTree(sortingTree), DiskTreeArena::rootID, std::nullopt);
  NameSearchPanel search;
  struct View {
    const char *what;
    QWidget *widget;
    QTreeView *tree;
    int name, size;
  };
  const View views[] = {
      {"list", &list, &list, TreeListModel::nameColumn, TreeListModel::sizeColumn},
      {"search", &search, search.results(), NameSearchModel::nameColumn, NameSearchModel::sizeColumn},
  };
  for (const View &view : views) {
    view.widget->show();
    for (const int width : {260, 380, 560, 1100}) {
      SCOPED_TRACE(std::string(view.what) + " " + std::to_string(width));
      view.widget->resize(width, 300);
      QApplication::processEvents();
      const QHeaderView *header = view.tree->header();
      const int room = view.tree->viewport()->width();
      EXPECT_GE(header->sectionSize(view.name), room * 2 / 5);
      EXPECT_FALSE(header->isSectionHidden(view.size));
      EXPECT_GE(header->sectionSize(view.size), view.tree->fontMetrics().horizontalAdvance(QStringLiteral("999.9 MB")));
      EXPECT_LE(header->length(), room) << "no sideways scrolling";
      if (width >= 1000) {
        EXPECT_EQ(header->hiddenSectionCount(), 0);
      }
    }
  }
}

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

// A row's menu is the treemap's: it acts on that row, which becomes the
// selection, and greys out what the guard refuses there. Delete, as on the
// treemap, asks to trash the current row.
TEST_F(TreeListViewTest, ARowsContextMenuOrDeleteActsOnThatRowAndTheMenuShowsRefusals) {
  dashboard->setTrashRefusalCheck([](const std::string &path) {
    return path.ends_with("notes.txt") ? std::optional<QString>("kept") : std::nullopt;
  });
  const auto action = [](QMenu &menu, const QString &title) -> QAction * {
    for (QAction *entry : menu.actions())
      if (entry->text() == title)
        return entry;
    return nullptr;
  };
  const QPoint media = centre(row("media"));
  QContextMenuEvent click(QContextMenuEvent::Mouse, media, list().viewport()->mapToGlobal(media));
  QApplication::sendEvent(list().viewport(), &click);
  auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
  ASSERT_TRUE(menu);
  EXPECT_EQ(list().selectedNodeID(), at("media"));
  ASSERT_TRUE(action(*menu, "Rescan This Folder") && action(*menu, "Drill Down"));
  action(*menu, "Drill Down")->trigger();
  menu->close();
  EXPECT_EQ(model().topFolder(), at("media"));

  dashboard->navigateTo(DiskTreeArena::rootID);
  std::unique_ptr<QMenu> notes(list().contextMenuFor(row("notes.txt"), nullptr));
  ASSERT_TRUE(action(*notes, "Move to Trash"));
  EXPECT_FALSE(action(*notes, "Move to Trash")->isEnabled());
  EXPECT_EQ(action(*notes, "Move to Trash")->toolTip(), "kept");
  EXPECT_FALSE(action(*notes, "Drill Down")) << "a file is not entered";

  QSignalSpy trash(dashboard.get(), &SizeloomDashboardView::moveToTrash);
  std::unique_ptr<QMenu> code(list().contextMenuFor(row("code/README"), nullptr));
  action(*code, "Move to Trash")->trigger();
  list().setFocus();
  list().setCurrentIndex(row("code"));
  QTest::keyClick(&list(), Qt::Key_Delete);
  ASSERT_EQ(trash.count(), 2);
  EXPECT_EQ(trash[0].front().value<DiskNode>().id, at("code/README"));
  EXPECT_EQ(trash[1].front().value<DiskNode>().id, at("code"));
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
