#include "TarnwickUI/TreeListModel.h"

#include "TarnwickUI/TreeListFixtures.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>

namespace tarnwick {
namespace {

using quillane::test::buildTree;
using quillane::test::TreeEntry;

// Sizes, names and times that order differently under every column.
const std::vector<TreeEntry> sortingTree = {
    {"b/x", 300, 30},   {"b/y", 100, 10},    {"c", 500, 10},  {"Apple", 200, 40},
    {"d/one", 50, 20},  {"d/two", 50, 20},   {"d/three", 50, 20},
};

// Counts the model tester's complaints (it reports them as warnings of
// its own category) while alive.
class ModelTesterComplaints {
public:
  ModelTesterComplaints() { previous = qInstallMessageHandler(&record); }
  ~ModelTesterComplaints() { qInstallMessageHandler(previous); }
  static inline int count = 0;

private:
  static void record(QtMsgType type, const QMessageLogContext &context, const QString &text) {
    if (context.category && std::string_view(context.category) == "qt.modeltest") {
      ++count;
      ADD_FAILURE() << text.toStdString();
    } else if (previous) {
      previous(type, context, text);
    }
  }
  static inline QtMessageHandler previous = nullptr;
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
  const ModelTesterComplaints complaints;
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
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
  EXPECT_EQ(ModelTesterComplaints::count, 0);
}

struct SortCase {
  int column;
  Qt::SortOrder order;
  std::vector<std::string> names;
};
class TreeListModelSorting : public ::testing::TestWithParam<SortCase> {};

TEST_P(TreeListModelSorting, OrdersTheTopLevel) {
  TreeListModel model;
  model.setTree(buildTree(sortingTree), DiskTreeArena::rootID);
  model.sort(GetParam().column, GetParam().order);
  EXPECT_EQ(topNames(model), GetParam().names);
}

// Folder sizes: b 400, d 150. Times: folders take none of their own (0).
INSTANTIATE_TEST_SUITE_P(
    Columns, TreeListModelSorting,
    ::testing::Values(SortCase{TreeListModel::sizeColumn, Qt::AscendingOrder, {"d", "Apple", "b", "c"}},
                      SortCase{TreeListModel::shareColumn, Qt::DescendingOrder, {"c", "b", "Apple", "d"}},
                      SortCase{TreeListModel::nameColumn, Qt::AscendingOrder, {"Apple", "b", "c", "d"}},
                      SortCase{TreeListModel::nameColumn, Qt::DescendingOrder, {"d", "c", "b", "Apple"}},
                      SortCase{TreeListModel::filesColumn, Qt::DescendingOrder, {"d", "b", "c", "Apple"}},
                      SortCase{TreeListModel::modifiedColumn, Qt::DescendingOrder, {"Apple", "c", "b", "d"}}));

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

} // namespace
} // namespace tarnwick
