// Colouring the treemap by change: each kind reads in its own colour, the
// larger the change for the entry's size the stronger; the explorer shows
// the colours in every way it draws a folder, and never on a tree the
// comparison was not made with.
#include "TarnwickUI/ChangeColouring.h"

#include "TarnwickCore/Diff/TreeComparison.h"
#include "TarnwickCore/Tree/ArenaEdit.h"
#include "TarnwickUI/ChangesModel.h"
#include "TarnwickUI/SizeloomDashboardView.h"
#include "TarnwickUI/TreemapCanvasView.h"
#include "TarnwickUI/TreemapPalette.h"
#include "TarnwickUI/TreemapTooltip.h"
#include "TreeListFixtures.h"

#include <gtest/gtest.h>

#include <QPersistentModelIndex>
#include <QTest>

namespace tarnwick {
namespace {

using quillane::test::buildTree;
using Change = TreeComparison::Change;

double distance(const QColor &a, const QColor &b) {
  return std::abs(a.redF() - b.redF()) + std::abs(a.greenF() - b.greenF()) + std::abs(a.blueF() - b.blueF());
}

class ChangeColouringTest : public ::testing::Test {
protected:
  void SetUp() override {
    older = buildTree({{"doubled", 1'000'000}, {"keep", 1'000'000}, {"halved", 1'000'000}, {"nudged", 1'000'000}});
    newer = buildTree(
        {{"doubled", 2'000'000}, {"keep", 1'000'000}, {"halved", 500'000}, {"nudged", 1'010'000}, {"new", 1'500'000}});
    std::optional<TreeComparison> compared = TreeComparison::compare(*older, *newer);
    ASSERT_TRUE(compared);
    colouring = ChangeColouring(std::make_shared<const TreeComparison>(std::move(*compared)));
  }
  static NodeID idOf(const DiskTreeArena &arena, const std::string &name) {
    const std::optional<NodeID> id = findNodeByPath(arena, "/t/" + name);
    EXPECT_TRUE(id) << "no node " << name;
    return id.value_or(-1);
  }
  QColor fillOf(const std::string &name) const { return *colouring.fill(idOf(*newer, name)); }

  std::shared_ptr<const DiskTreeArena> older, newer;
  ChangeColouring colouring;
};

TEST_F(ChangeColouringTest, EachKindHasItsColourStrongerForLargerChanges) {
  EXPECT_EQ(fillOf("keep"), ChangeColouring::colour(Change::unchanged));
  EXPECT_EQ(fillOf("new"), ChangeColouring::colour(Change::added));
  const QColor grey = ChangeColouring::colour(Change::unchanged);
  for (auto [name, change] : {std::pair{"doubled", Change::grown}, {"halved", Change::shrunk}, {"nudged", Change::grown}}) {
    const QColor fill = fillOf(name);
    for (Change other : {Change::grown, Change::shrunk, Change::added}) {
      if (other != change) {
        EXPECT_LT(distance(fill, ChangeColouring::colour(change)), distance(fill, ChangeColouring::colour(other)))
            << name;
      }
    }
    EXPECT_GT(distance(fill, grey), 0.1) << name << " still reads as changed";
  }
  EXPECT_LT(distance(fillOf("doubled"), ChangeColouring::colour(Change::grown)),
            distance(fillOf("nudged"), ChangeColouring::colour(Change::grown)))
      << "doubling reads stronger than growing by 1 %";

  EXPECT_FALSE(colouring.fill(NodeID(newer->nodeCount())));
  EXPECT_FALSE(ChangeColouring().fill(0));
  EXPECT_TRUE(colouring.describes(*newer));
  EXPECT_TRUE(colouring.describes(DiskTreeArena(*newer))) << "a copy shares the tree's storage";
  EXPECT_FALSE(colouring.describes(*older));
}

// The colour on screen a little above the bottom edge of `name`'s tile,
// below its labels.
QColor shownColour(const SizeloomDashboardView &dashboard, NodeID id) {
  const std::optional<TreemapRect> tile = dashboard.canvas()->tileFor(id);
  if (!tile) {
    ADD_FAILURE() << "no tile for " << id;
    return {};
  }
  const CanvasRect &r = tile->insetFrame;
  const QImage shown = dashboard.canvas()->grab().toImage();
  return shown.pixelColor(QPointF(r.x + r.width / 2, r.y + r.height - 5).toPoint() * shown.devicePixelRatio());
}

TEST_F(ChangeColouringTest, TheExplorerShowsItOnlyOnTheComparedTree) {
  enum class Drawing { oneLevel, nested, nestedInTheBackground };
  for (Drawing drawing : {Drawing::oneLevel, Drawing::nested, Drawing::nestedInTheBackground}) {
    SCOPED_TRACE(int(drawing));
    SizeloomDashboardView dashboard(newer);
    dashboard.setNestedContents(drawing != Drawing::oneLevel);
    dashboard.setBackgroundLayoutThreshold(drawing == Drawing::nestedInTheBackground ? 0 : 1'000);
    dashboard.resize(900, 600);
    dashboard.show();
    dashboard.setChangeColouring(colouring);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dashboard.canvas()->areTilesPending(); }));
    EXPECT_EQ(dashboard.canvas()->changeColouring(), colouring);
    const QColor doubled = shownColour(dashboard, idOf(*newer, "doubled"));
    const QColor halved = shownColour(dashboard, idOf(*newer, "halved"));
    const QColor added = shownColour(dashboard, idOf(*newer, "new"));
    EXPECT_GT(doubled.red(), doubled.blue() + 60);
    EXPECT_GT(halved.green(), halved.red() + 60);
    EXPECT_GT(added.blue(), added.red() + 60);
    const CanvasRect tile = dashboard.canvas()->tileFor(idOf(*newer, "doubled"))->insetFrame;
    QTest::mouseMove(dashboard.canvas(), {1, 1}); // the last round's pointer may rest where this one goes
    QTest::mouseMove(dashboard.canvas(), QPointF(tile.x + tile.width / 2, tile.y + tile.height / 2).toPoint());
    ASSERT_TRUE(QTest::qWaitFor([&] { return dashboard.canvas()->tooltip()->isPresenting(); }));
    EXPECT_TRUE(dashboard.canvas()->tooltip()->content().categoryLabel.contains(TreemapPalette::formatBytes(1'000'000)))
        << "the tooltip says by how much, and from what";

    // Another tree: the same identifiers name other entries.
    dashboard.setArena(older);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dashboard.canvas()->areTilesPending(); }));
    EXPECT_FALSE(dashboard.canvas()->changeColouring().isActive());
  }
}

// The Changes table over a real comparison.
class ChangesModelTest : public ::testing::Test {
protected:
  void SetUp() override {
    const auto older = buildTree({{"a/grow", 4'096}, {"a/keep", 8'192}, {"shrink", 900'000}, {"gone", 20'000}});
    const auto newer = buildTree({{"a/grow", 2'000'000}, {"a/keep", 8'192}, {"shrink", 100'000}, {"new", 3'000}});
    const std::optional<TreeComparison> comparison = TreeComparison::compare(*older, *newer);
    ASSERT_TRUE(comparison);
    original = comparison->largestChanges(200);
    model.setChanges(original);
  }
  QString text(int row, int column) const { return model.index(row, column).data().toString(); }
  QStringList paths() const {
    QStringList list;
    for (int row = 0; row < model.rowCount(); ++row)
      list << text(row, ChangesModel::pathColumn);
    return list;
  }

  std::vector<SizeChange> original;
  ChangesModel model;
};

TEST_F(ChangesModelTest, ListsEachChangeWithItsSidesAndDifferenceAndSortsByTheBytesOrThePath) {
  // Unchanged "a/keep" is left out; the folder "a" grew with its file.
  ASSERT_EQ(paths(), QStringList({"/t/a/", "/t/a/grow", "/t/", "/t/shrink", "/t/gone", "/t/new"}));
  struct Row {
    int row;
    QString before, after, difference;
  };
  for (const Row &expected :
       {Row{1, TreemapPalette::formatBytes(4'096), TreemapPalette::formatBytes(2'000'000),
            "+" + TreemapPalette::formatBytes(1'995'904)},
        Row{3, TreemapPalette::formatBytes(900'000), TreemapPalette::formatBytes(100'000),
            QString(u'\u2212') + TreemapPalette::formatBytes(800'000)},
        Row{4, TreemapPalette::formatBytes(20'000), "gone", QString(u'\u2212') + TreemapPalette::formatBytes(20'000)},
        Row{5, "new", TreemapPalette::formatBytes(3'000), "+" + TreemapPalette::formatBytes(3'000)}}) {
    SCOPED_TRACE(expected.row);
    EXPECT_EQ(text(expected.row, ChangesModel::beforeColumn), expected.before);
    EXPECT_EQ(text(expected.row, ChangesModel::afterColumn), expected.after);
    EXPECT_EQ(text(expected.row, ChangesModel::differenceColumn), expected.difference);
  }

  struct Case {
    int column;
    Qt::SortOrder order;
    QStringList paths;
  };
  // By bytes: "2 MB" sorts above "900 KB"; equal ones keep the comparison's order.
  for (const Case &sorted : {
           Case{ChangesModel::differenceColumn, Qt::DescendingOrder,
                {"/t/a/", "/t/a/grow", "/t/", "/t/new", "/t/gone", "/t/shrink"}},
           Case{ChangesModel::differenceColumn, Qt::AscendingOrder,
                {"/t/shrink", "/t/gone", "/t/new", "/t/", "/t/a/", "/t/a/grow"}},
           Case{ChangesModel::afterColumn, Qt::DescendingOrder,
                {"/t/", "/t/a/", "/t/a/grow", "/t/shrink", "/t/new", "/t/gone"}},
           Case{ChangesModel::beforeColumn, Qt::AscendingOrder,
                {"/t/new", "/t/a/grow", "/t/a/", "/t/gone", "/t/shrink", "/t/"}},
           Case{ChangesModel::pathColumn, Qt::AscendingOrder,
                {"/t/", "/t/a/", "/t/a/grow", "/t/gone", "/t/new", "/t/shrink"}},
       }) {
    SCOPED_TRACE(sorted.column);
    model.setChanges(original);
    const QPersistentModelIndex selected = model.index(3, ChangesModel::afterColumn); // "/t/shrink"
    model.sort(sorted.column, sorted.order);
    EXPECT_EQ(paths(), sorted.paths);
    EXPECT_EQ(selected.row(), sorted.paths.indexOf("/t/shrink"));
    EXPECT_EQ(selected.column(), ChangesModel::afterColumn);
  }
}

} // namespace
} // namespace tarnwick
