// The Changes table: one row per changed entry of a real comparison, sizes
// as the window writes them, "new" and "gone" for a missing side, and
// sorting by the bytes (or the path), not by the texts.
#include "TarnwickCore/Diff/TreeComparison.h"
#include "TarnwickUI/ChangesModel.h"
#include "TarnwickUI/TreemapPalette.h"
#include "TreeListFixtures.h"

#include <gtest/gtest.h>

#include <QPersistentModelIndex>

namespace tarnwick {
namespace {

using quillane::test::buildTree;

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

TEST_F(ChangesModelTest, ListsEachChangeWithItsSidesAndDifference) {
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
}

TEST_F(ChangesModelTest, SortsByTheBytesOrThePath) {
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
