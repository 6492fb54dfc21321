// The folder summary as the window shows it: the lists follow the folder
// and the tree, and choices name the file or the type.
#include "TarnwickUI/FolderSummaryPanel.h"

#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Tree/ArenaEdit.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

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
  EXPECT_EQ(column(panel.largestFiles(), 0),
            (QStringList{QString::fromStdString(tree.path("media/film.mkv")),
                         QString::fromStdString(tree.path("media/song.ogg")),
                         QString::fromStdString(tree.path("media/cover.JPG"))}));
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
  EXPECT_EQ(panel.largestFiles()->model()->rowCount(), 4);
  auto edited = std::make_shared<const DiskTreeArena>(
      withoutSubtrees(*arena, std::array{*findNodeByPath(*arena, tree.path("media"))}));
  ASSERT_TRUE(showFolder(edited, ""));
  EXPECT_EQ(column(panel.fileTypes(), 0), QStringList{".odt"});
}

} // namespace
} // namespace tarnwick
