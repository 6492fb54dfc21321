#include "TarnwickUI/NameSearchPanel.h"

#include "TarnwickUI/FolderSummaryPanel.h"

#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Tree/ArenaEdit.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QSignalSpy>
#include <QTreeView>

#include <array>

namespace tarnwick {
namespace {

using quillane::test::TempTree;

QStringList column(const QTreeView *view, int column) {
  QStringList cells;
  for (int row = 0; row < view->model()->rowCount(); ++row)
    cells << view->model()->index(row, column).data().toString();
  return cells;
}

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

  TempTree tree;
  std::shared_ptr<const DiskTreeArena> arena;
  NameSearchPanel panel;
};

TEST_F(NameSearchPanelTest, ShowsTheLatestPatternsMatchesOnTheLatestTreeSortedAndNamesTheChosenNode) {
  // Keystrokes faster than the searches: only the last one's results show.
  for (const char *prefix : {"r", "re", "rea", "read"})
    panel.field()->setText(prefix);
  type("readme");
  EXPECT_EQ(column(panel.results(), 0), (QStringList{"README.md", "readme-old.txt", "Readme/"})) << "largest first";
  EXPECT_EQ(panel.statusText(), "3 matches");
  panel.results()->sortByColumn(0, Qt::AscendingOrder);
  EXPECT_EQ(column(panel.results(), 0), (QStringList{"Readme/", "readme-old.txt", "README.md"})) << "ignoring case";

  QSignalSpy chosen(&panel, &NameSearchPanel::nodeChosen);
  panel.results()->setCurrentIndex(panel.results()->model()->index(1, 0));
  emit panel.results()->activated(panel.results()->currentIndex());
  ASSERT_EQ(chosen.count(), 1);
  EXPECT_EQ(arena->path(chosen.at(0).at(0).value<NodeID>()), tree.path("docs/readme-old.txt"));

  type("*.CPP");
  EXPECT_EQ(column(panel.results(), 1), QStringList{QString::fromStdString(tree.path("src"))});
  type("nothing-like-it");
  EXPECT_EQ(panel.statusText(), "No matches");
  type("");
  EXPECT_EQ(panel.results()->model()->rowCount(), 0);

  // A new tree is searched again.
  type("readme");
  QSignalSpy shown(&panel, &NameSearchPanel::resultsShown);
  panel.setArena(std::make_shared<const DiskTreeArena>(
      withoutSubtrees(*arena, std::array{*findNodeByPath(*arena, tree.path("docs"))})));
  ASSERT_TRUE(shown.wait(5000));
  EXPECT_EQ(column(panel.results(), 0), QStringList{"Readme/"});
}

TEST(FolderSummaryPanelTest, ListsFollowTheFolderAndTheTreeAndChoicesNameWhatWasChosen) {
  TempTree tree;
  tree.writeFile("media/film.mkv", 900'000);
  tree.writeFile("media/song.ogg", 300'000);
  tree.writeFile("media/cover.JPG", 90'000);
  tree.writeFile("docs/letter.odt", 40'000);
  auto arena = std::make_shared<const DiskTreeArena>(FastBulkScanner().scan(tree.root()));
  FolderSummaryPanel panel;
  QSignalSpy shown(&panel, &FolderSummaryPanel::summaryShown);
  const auto showFolder = [&](std::shared_ptr<const DiskTreeArena> in, const std::string &relative) {
    shown.clear();
    panel.setFolder(in, *findNodeByPath(*in, tree.path(relative)));
    return shown.wait(5000);
  };

  ASSERT_TRUE(showFolder(arena, "media"));
  // Named below the folder the title shows, the whole path in the tooltip.
  EXPECT_EQ(column(panel.largestFiles(), 0), (QStringList{"film.mkv", "song.ogg", "cover.JPG"}));
  EXPECT_EQ(panel.largestFiles()->model()->index(0, 0).data(Qt::ToolTipRole).toString(),
            QString::fromStdString(tree.path("media/film.mkv")));
  EXPECT_EQ(column(panel.fileTypes(), 0), (QStringList{".mkv", ".ogg", ".jpg"}));
  panel.fileTypes()->sortByColumn(0, Qt::AscendingOrder);
  EXPECT_EQ(column(panel.fileTypes(), 0), (QStringList{".jpg", ".mkv", ".ogg"}));

  QSignalSpy type(&panel, &FolderSummaryPanel::fileTypeChosen);
  panel.fileTypes()->setCurrentIndex(panel.fileTypes()->model()->index(1, 0));
  ASSERT_EQ(type.count(), 1);
  EXPECT_EQ(type.at(0).at(0).toString(), "mkv");
  QSignalSpy node(&panel, &FolderSummaryPanel::nodeChosen);
  emit panel.largestFiles()->activated(panel.largestFiles()->model()->index(1, 2));
  ASSERT_EQ(node.count(), 1);
  EXPECT_EQ(arena->path(node.at(0).at(0).value<NodeID>()), tree.path("media/song.ogg"));

  // The root, then the tree without the media folder: only the letter stays.
  ASSERT_TRUE(showFolder(arena, ""));
  EXPECT_EQ(column(panel.largestFiles(), 0),
            (QStringList{"media/film.mkv", "media/song.ogg", "media/cover.JPG", "docs/letter.odt"}));
  auto edited = std::make_shared<const DiskTreeArena>(
      withoutSubtrees(*arena, std::array{*findNodeByPath(*arena, tree.path("media"))}));
  ASSERT_TRUE(showFolder(edited, ""));
  EXPECT_EQ(column(panel.fileTypes(), 0), QStringList{".odt"});
}

} // namespace
} // namespace tarnwick
