// The search field as a user types into it: results of the latest pattern
// only, sortable, and a choice naming the node.
#include "TarnwickUI/NameSearchPanel.h"

#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Tree/ArenaEdit.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include <array>

namespace tarnwick {
namespace {

using quillane::test::TempTree;

class NameSearchPanelTest : public ::testing::Test {
protected:
  void SetUp() override {
    tree.writeFile("docs/README.md", 40'000);
    tree.writeFile("docs/readme-old.txt", 9'000);
    tree.writeFile("src/main.cpp", 12'000);
    tree.makeDirectory("src/Readme");
    arena = std::make_shared<const DiskTreeArena>(FastBulkScanner().scan(tree.root()));
    panel.setArena(arena);
  }
  // Types `text` and waits until its results are shown.
  void type(const QString &text) {
    QSignalSpy shown(&panel, &NameSearchPanel::resultsShown);
    panel.field()->setText(text);
    ASSERT_TRUE(shown.count() > 0 || shown.wait(5000)) << text.toStdString();
  }
  QStringList column(int column) const {
    QStringList cells;
    const QAbstractItemModel *model = panel.results()->model();
    for (int row = 0; row < model->rowCount(); ++row)
      cells << model->index(row, column).data().toString();
    return cells;
  }

  TempTree tree;
  std::shared_ptr<const DiskTreeArena> arena;
  NameSearchPanel panel;
};

TEST_F(NameSearchPanelTest, ShowsTheLatestPatternsMatchesSortedAndNamesTheChosenNode) {
  // Keystrokes faster than the searches: only the last one's results show.
  for (const char *prefix : {"r", "re", "rea", "read"})
    panel.field()->setText(prefix);
  type("readme");
  EXPECT_EQ(column(0), (QStringList{"README.md", "readme-old.txt", "Readme/"})) << "largest first";
  EXPECT_EQ(panel.statusText(), "3 matches");
  panel.results()->sortByColumn(0, Qt::AscendingOrder);
  EXPECT_EQ(column(0), (QStringList{"Readme/", "readme-old.txt", "README.md"})) << "ignoring case";

  QSignalSpy chosen(&panel, &NameSearchPanel::nodeChosen);
  panel.results()->setCurrentIndex(panel.results()->model()->index(1, 0));
  emit panel.results()->activated(panel.results()->currentIndex());
  ASSERT_EQ(chosen.count(), 1);
  EXPECT_EQ(arena->path(chosen.at(0).at(0).value<NodeID>()), tree.path("docs/readme-old.txt"));

  type("*.CPP");
  EXPECT_EQ(column(1), QStringList{QString::fromStdString(tree.path("src"))});
  type("nothing-like-it");
  EXPECT_EQ(panel.statusText(), "No matches");
  type("");
  EXPECT_EQ(panel.results()->model()->rowCount(), 0);
}

TEST_F(NameSearchPanelTest, ANewTreeIsSearchedAgain) {
  type("readme");
  QSignalSpy shown(&panel, &NameSearchPanel::resultsShown);
  panel.setArena(std::make_shared<const DiskTreeArena>(
      withoutSubtrees(*arena, std::array{*findNodeByPath(*arena, tree.path("docs"))})));
  ASSERT_TRUE(shown.wait(5000));
  EXPECT_EQ(column(0), QStringList{"Readme/"});
}

} // namespace
} // namespace tarnwick
