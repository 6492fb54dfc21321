// Scan ▸ Compare With…: an older snapshot of the folder on show lists what
// grew since, largest growth on top, and colours the treemap by change
// until the box is unticked or the panel closed; a file that is no scan is
// reported in the window's failure box and shows no panel. Compare With
// Previous Scan finds the remembered scan a new scan replaced.
#include "TarnwickApp/Windows/ChangesPanel.h"
#include "TarnwickApp/Windows/MainWindow.h"
#include "TarnwickApp/Windows/ScratchHomeWindow.h"
#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Snapshot/ScanSnapshotWriter.h"
#include "TarnwickCore/Snapshot/ScanSnapshotStore.h"
#include "TarnwickUI/ChangesModel.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>

#include <filesystem>
#include <fstream>

namespace quillane {
namespace {

class ChangesPanelTest : public test::ScratchHomeWindow {
protected:
  ChangesPanelTest() {
    tree.writeFile("home/video.mp4", 40'000);
    tree.writeFile("home/notes.txt", 12'000);
    const std::string older = tarnwick::ScanSnapshotWriter::encode(
        tarnwick::FastBulkScanner(2).scan(tree.path("home")), 1'700'000'000);
    std::ofstream(tree.path("older.qsnap"), std::ios::binary) << older;
    tree.writeFile("home/video.mp4", 2'400'000);
    tree.writeFile("home/new.bin", 100'000);
  }
  void SetUp() override {
    ScratchHomeWindow::SetUp();
    window = makeWindow();
    EXPECT_FALSE(window->compareWithAction()->isEnabled()) << "no tree on show yet";
    scanHome(*window);
  }

  void compareWith(const std::string &file) {
    ASSERT_TRUE(window->compareWithAction()->isEnabled());
    window->setComparisonChooser([file](QWidget *) { return QString::fromStdString(file); });
    window->compareWithAction()->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->changesPanel()->isComparing(); }));
  }

  std::unique_ptr<MainWindow> window;
};

TEST_F(ChangesPanelTest, AnOlderSnapshotListsTheGrowthLargestFirst) {
  compareWith(tree.path("older.qsnap"));
  ChangesPanel &panel = *window->changesPanel();
  ASSERT_TRUE(QTest::qWaitFor([&] { return panel.isVisible(); }));
  EXPECT_FALSE(window->findChild<QMessageBox *>());
  const tarnwick::ChangesModel &model = *panel.model();
  ASSERT_GE(model.rowCount(), 3); // the folder, the grown file, the new one
  // The folder grew by its files together, so it leads; the video next.
  EXPECT_EQ(model.index(0, 0).data().toString(), QString::fromStdString(tree.path("home") + "/"));
  EXPECT_EQ(model.index(1, 0).data().toString(), QString::fromStdString(tree.path("home/video.mp4")));
  EXPECT_EQ(model.index(2, tarnwick::ChangesModel::beforeColumn).data().toString(), "new");
  EXPECT_TRUE(panel.headerLine()->text().contains(QString::fromStdString(tree.path("home"))));

  const tarnwick::TreemapCanvasView &canvas = *window->rootView()->dashboard()->canvas();
  EXPECT_TRUE(canvas.changeColouring().isActive());
  panel.colourByChange()->setChecked(false);
  EXPECT_FALSE(canvas.changeColouring().isActive()) << "unticked: the categories' colours";
  panel.colourByChange()->setChecked(true);
  EXPECT_TRUE(canvas.changeColouring().isActive());
  panel.close(); // its own button: the comparison is over
  EXPECT_EQ(model.rowCount(), 0);
  EXPECT_FALSE(canvas.changeColouring().isActive());
}

TEST_F(ChangesPanelTest, ANewScanComparesWithTheRememberedScanItReplaced) {
  const auto store = std::make_shared<const tarnwick::ScanSnapshotStore>(tree.path("cache"));
  window->setSnapshotStore(store);
  coordinator->setSnapshotStore(store);
  EXPECT_FALSE(window->compareWithPreviousAction()->isEnabled()) << "nothing remembered yet";
  // As the scan of an earlier day left it.
  std::filesystem::create_directories(store->folder());
  std::filesystem::copy_file(tree.path("older.qsnap"), store->filePathFor(tree.path("home")));

  window->startScan(QString::fromStdString(tree.path("home")));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !coordinator->isScanning(); }));
  ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(store->previousFilePathFor(tree.path("home"))); }));
  ASSERT_TRUE(window->compareWithPreviousAction()->isEnabled());
  window->compareWithPreviousAction()->trigger();
  ChangesPanel &panel = *window->changesPanel();
  ASSERT_TRUE(QTest::qWaitFor([&] { return panel.isVisible(); }));
  ASSERT_GE(panel.model()->rowCount(), 2);
  EXPECT_EQ(panel.model()->index(1, 0).data().toString(), QString::fromStdString(tree.path("home/video.mp4")));
}

TEST_F(ChangesPanelTest, AFileThatIsNoScanIsReportedAndShowsNoPanel) {
  std::ofstream(tree.path("bad.json")) << "not a scan";
  compareWith(tree.path("bad.json"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->findChild<QMessageBox *>() != nullptr; }));
  EXPECT_TRUE(window->findChild<QMessageBox *>()->text().contains(QString::fromStdString(tree.path("bad.json"))));
  EXPECT_FALSE(window->changesPanel()->isVisible());
  EXPECT_EQ(window->changesPanel()->model()->rowCount(), 0);
}

} // namespace
} // namespace quillane
