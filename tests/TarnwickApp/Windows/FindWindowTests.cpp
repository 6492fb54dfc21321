#include "TarnwickApp/Windows/FindWindow.h"
#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Tree/ArenaEdit.h"
#include "TarnwickUI/FolderSummaryPanel.h"
#include "TarnwickUI/TreemapCanvasView.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTreeView>

namespace quillane {
namespace {

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

} // namespace
} // namespace quillane
