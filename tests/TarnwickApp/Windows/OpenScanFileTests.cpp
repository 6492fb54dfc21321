#include "TarnwickApp/Commands/NcduJsonWriter.h"
#include "TarnwickApp/Windows/MainWindow.h"
#include "TarnwickApp/Windows/RecentScansList.h"
#include "TarnwickApp/Windows/ScratchHomeWindow.h"
#include "TarnwickApp/Windows/WelcomeLauncherView.h"
#include "TarnwickCore/Import/NcduExportReader.h"
#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Snapshot/ScanSnapshotWriter.h"
#include "TarnwickCore/Tree/ArenaEdit.h"
#include "TarnwickUI/DashboardActionBar.h"
#include "TarnwickUI/SizeloomDashboardView.h"
#include "TarnwickUI/TreemapBreadcrumbBar.h"
#include "TarnwickUI/TreemapCanvasView.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <fstream>
#include <sys/stat.h>

namespace quillane {
namespace {

class OpenScanFileTest : public test::ScratchHomeWindow {
protected:
  OpenScanFileTest() {
    tree.writeFile("home/Clips/holiday.mp4", 2'400'000);
    tree.writeFile("home/notes.txt", 12'000);
  }
  void SetUp() override {
    ScratchHomeWindow::SetUp();
    scan.open();
    window = makeWindow();
  }

  // Opens `file` as the window's menu would, and waits for the read to end.
  tarnwick::SizeloomDashboardView *open(const std::string &file) {
    window->setExportChooser([file](QWidget *) { return QString::fromStdString(file); });
    window->openScanFileAction()->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !coordinator->isScanning(); }));
    return window->rootView()->dashboard();
  }
  std::string writeText(const std::string &name, const std::string &text) {
    std::ofstream(tree.path(name), std::ios::binary) << text;
    return tree.path(name);
  }
  // The folder `home` as `quillane scan --json` exports it, with the export's
  // root device replaced by `device` when given (what ncdu records).
  std::string exportHome(std::optional<std::uint64_t> device = std::nullopt) {
    const tarnwick::DiskTreeArena scanned = tarnwick::FastBulkScanner(2).scan(tree.path("home"));
    homeBytes = scanned.rootNode()->allocatedSize;
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> out(std::fopen(tree.path("export.json").c_str(), "wb"), std::fclose);
    EXPECT_TRUE(out && writeNcduJson(scanned, out.get()));
    out.reset();
    std::string text = test::readFile(tree.path("export.json"));
    if (device) {
      const std::string rootName = "{\"name\":\"" + tree.path("home") + "\"";
      const std::size_t at = text.find(rootName);
      EXPECT_NE(at, std::string::npos);
      text.insert(at + rootName.size(), ",\"dev\":" + std::to_string(*device));
    }
    return writeText("export.json", text);
  }
  std::uint64_t homeDevice() const {
    struct stat status {};
    EXPECT_EQ(::stat(tree.path("home").c_str(), &status), 0);
    return status.st_dev;
  }
  QMessageBox *failureBox() const { return window->findChild<QMessageBox *>(); }

  std::unique_ptr<MainWindow> window;
  std::int64_t homeBytes = 0;
};

// An export of a folder here: explored as its scan would be, cleaning offered
// (on a relative name, the current folder's file).
TEST_F(OpenScanFileTest, AnExportOfAFolderHereIsExploredAsItsScan) {
  for (const std::optional<std::uint64_t> device : {std::optional<std::uint64_t>(), std::optional(homeDevice())}) {
    exportHome(device);
    const QString previous = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(tree.root()));
    window->openScanFile(QStringLiteral("export.json"));
    QDir::setCurrent(previous);
    EXPECT_TRUE(window->windowTitle().startsWith(QStringLiteral("Opening ") + QString::fromStdString(tree.path("export.json"))));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !coordinator->isScanning(); }));
    tarnwick::SizeloomDashboardView *dashboard = window->rootView()->dashboard();
    ASSERT_TRUE(dashboard);
    EXPECT_EQ(window->rootView()->currentWidget(), dashboard);
    EXPECT_EQ(dashboard->arena()->rootPath(), tree.path("home"));
    EXPECT_EQ(dashboard->arena()->rootNode()->allocatedSize, homeBytes);
    EXPECT_FALSE(coordinator->cleaningRefusal());
    dashboard->setSelectedNodeID(tarnwick::findNodeByPath(*dashboard->arena(), tree.path("home/notes.txt")));
    EXPECT_TRUE(dashboard->actionBar()->trashButton()->isEnabled());
    EXPECT_TRUE(dashboard->breadcrumbBar()->rescanButton()->isEnabled());
    const std::unique_ptr<QMenu> menu = test::menuOf(*dashboard, "Clips"); // owns the action read below
    const QAction *trashItem = test::actionNamed(*menu, "Move to Trash");
    EXPECT_TRUE(trashItem && trashItem->isEnabled());
  }
  test::saveScreenshot(*window, "open-export-offscreen");

  // A remembered scan (a snapshot) opens the same way, whatever its name.
  std::ofstream(tree.path("kept.json"), std::ios::binary)
      << tarnwick::ScanSnapshotWriter::encode(tarnwick::FastBulkScanner(2).scan(tree.path("home")), 1'000);
  const tarnwick::DiskTreeArena *exported = window->rootView()->dashboard()->arena().get();
  tarnwick::SizeloomDashboardView *kept = open(tree.path("kept.json"));
  EXPECT_EQ(failureBox(), nullptr);
  ASSERT_TRUE(kept);
  EXPECT_NE(kept->arena().get(), exported);
  EXPECT_EQ(kept->arena()->rootPath(), tree.path("home"));
}

// Not this computer's folder: every way to clean, rescan or show it in the
// file manager is refused, with the reason, until a scan of this computer
// replaces the tree.
TEST_F(OpenScanFileTest, AnotherComputersTreeIsNeitherCleanedNorRescanned) {
  const std::string absent =
      writeText("absent.json", R"([1,2,{},[{"name":"/quillane-absent-root/home","dsize":4096},)"
                               R"([{"name":"Clips","dsize":4096},{"name":"holiday.mp4","dsize":2400000}],)"
                               R"({"name":"notes.txt","dsize":12288}]])");
  for (const auto &[file, root] : {std::pair{absent, std::string("/quillane-absent-root/home")},
                                   std::pair{exportHome(homeDevice() + 1), tree.path("home")}}) {
    tarnwick::SizeloomDashboardView *dashboard = open(file);
    ASSERT_TRUE(dashboard) << file;
    ASSERT_EQ(dashboard->arena()->rootPath(), root);
    ASSERT_TRUE(coordinator->cleaningRefusal());
    const QString reason = *coordinator->cleaningRefusal();
    EXPECT_TRUE(reason.startsWith(QStringLiteral("This tree was read from a file"))) << reason.toStdString();

    const auto notes = tarnwick::findNodeByPath(*dashboard->arena(), root + "/notes.txt");
    dashboard->setSelectedNodeID(notes);
    for (QPushButton *button : {dashboard->actionBar()->trashButton(), dashboard->actionBar()->smartCleanButton(),
                                dashboard->actionBar()->revealButton()}) {
      EXPECT_FALSE(button->isEnabled()) << button->text().toStdString();
      EXPECT_EQ(button->toolTip(), reason);
    }
    QAbstractButton *rescanButton = dashboard->breadcrumbBar()->rescanButton();
    EXPECT_FALSE(rescanButton->isEnabled());
    EXPECT_EQ(rescanButton->toolTip(), reason);
    std::unique_ptr<QMenu> menu = test::menuOf(*dashboard, "Clips");
    for (const char *item : {"Move to Trash", "Rescan This Folder", "Reveal in File Manager"}) {
      const QAction *action = test::actionNamed(*menu, item);
      ASSERT_TRUE(action) << item;
      EXPECT_FALSE(action->isEnabled()) << item;
      EXPECT_EQ(action->toolTip(), reason) << item;
    }

    // Neither the Delete key, nor a request that reaches the explorer or
    // the coordinator all the same, cleans or rescans anything.
    QSignalSpy trash(dashboard, &tarnwick::SizeloomDashboardView::moveToTrash);
    QSignalSpy clean(dashboard, &tarnwick::SizeloomDashboardView::cleanCategory);
    dashboard->canvas()->setFocus();
    QTest::keyClick(dashboard->canvas(), Qt::Key_Delete);
    emit dashboard->actionBar()->moveToTrashRequested(*dashboard->arena()->node(*notes));
    emit dashboard->actionBar()->smartCleanRequested();
    EXPECT_EQ(trash.count() + clean.count(), 0);
    coordinator->moveNodeToTrash(*dashboard->arena()->node(*notes));
    coordinator->rescanFolder(root);
    EXPECT_FALSE(coordinator->isScanning());
    EXPECT_FALSE(QTest::qWaitFor([&] { return coordinator->lastCleaningReport().has_value(); }, 200));
  }
  EXPECT_TRUE(std::filesystem::exists(tree.path("home/notes.txt")));

  window->startScan(QString::fromStdString(tree.path("home")));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !coordinator->isScanning(); }));
  EXPECT_FALSE(coordinator->cleaningRefusal());
  EXPECT_TRUE(window->rootView()->dashboard()->actionBar()->smartCleanButton()->isEnabled());
  EXPECT_TRUE(window->rootView()->dashboard()->actionBar()->revealButton()->isEnabled());
  EXPECT_TRUE(window->rootView()->dashboard()->breadcrumbBar()->rescanButton()->isEnabled());
}

// A file that cannot be read whole shows the reader's message and no tree,
// also over a tree already on show, which stays. Whatever the reader's
// refusal, its message is passed on alike: its kinds are the reader's suite's.
TEST_F(OpenScanFileTest, AFileThatCannotBeReadIsReportedWithNoTree) {
  const std::string cut = writeText("cut.json", R"([1,2,{},[{"name":"/r","dsize":4096},{"name":"a","dsize":1})");
  const auto refusal = tarnwick::NcduExportReader::readFile(cut);
  ASSERT_TRUE(std::holds_alternative<tarnwick::ExportReadError>(refusal));
  const std::string says = std::get<tarnwick::ExportReadError>(refusal).message();
  EXPECT_FALSE(open(cut));
  ASSERT_TRUE(QTest::qWaitFor([&] { return failureBox() != nullptr; }));
  const QString text = failureBox()->text();
  EXPECT_TRUE(text.contains(QString::fromStdString(cut)) && text.contains(QString::fromStdString(says)))
      << text.toStdString() << " lacks " << says;
  EXPECT_EQ(window->rootView()->currentWidget(), window->rootView()->launcher());
  delete failureBox();
  tarnwick::SizeloomDashboardView *dashboard = open(exportHome());
  ASSERT_TRUE(dashboard);
  const auto shown = dashboard->arena();
  EXPECT_EQ(open(cut), dashboard);
  EXPECT_TRUE(QTest::qWaitFor([&] { return failureBox() != nullptr; }));
  EXPECT_EQ(dashboard->arena(), shown);
  EXPECT_EQ(window->rootView()->currentWidget(), dashboard);
}

// A store folder others may write in is refused, and the launcher says so
// rather than showing an empty list, which no later scan would fill.
TEST_F(OpenScanFileTest, ARefusedStoreFolderIsNamedOnTheLauncher) {
  ASSERT_EQ(::mkdir(tree.path("shared").c_str(), 0777), 0);
  ASSERT_EQ(::chmod(tree.path("shared").c_str(), 0777), 0);
  window->setSnapshotStore(std::make_shared<const tarnwick::ScanSnapshotStore>(tree.path("shared")));
  const QLabel *refusal = window->rootView()->launcher()->recentScans()->refusalLabel();
  EXPECT_FALSE(window->rootView()->launcher()->recentScans()->isHidden());
  EXPECT_FALSE(refusal->isHidden());
  EXPECT_TRUE(refusal->text().contains(QStringLiteral("other users may write in it"))) << refusal->text().toStdString();
}

// The remembered scans the launcher offers to open.
TEST(RecentScansListTest, NewestFirstEachOpensItsFileAndAnUnreadableOneOpensNothing) {
  test::TempTree tree;
  tree.writeFile("a/file", 1000);
  tree.writeFile("b/file", 2000);
  const tarnwick::ScanSnapshotStore store(tree.path("remembered"));
  ASSERT_TRUE(store.save(tarnwick::FastBulkScanner(2).scan(tree.path("a")), 1'000));
  ASSERT_TRUE(store.save(tarnwick::FastBulkScanner(2).scan(tree.path("b")), 2'000));
  std::ofstream(tree.path("remembered/0000000000000000.qsnap")) << "not a snapshot";

  RecentScansList list;
  list.setEntries(store.list(), 2'000 + 3 * 86'400);
  ASSERT_EQ(list.rows().size(), 3);
  EXPECT_TRUE(list.rows()[0]->text().contains(QStringLiteral("3 days ago")));
  EXPECT_TRUE(list.rows()[0]->text().startsWith(QString::fromStdString(tree.path("b"))));
  EXPECT_FALSE(list.rows()[2]->isEnabled()) << "the unreadable file comes last, and opens nothing";

  QSignalSpy opened(&list, &RecentScansList::openRequested);
  QTest::mouseClick(list.rows()[1], Qt::LeftButton);
  ASSERT_EQ(opened.size(), 1);
  EXPECT_EQ(opened.front().front().toString().toStdString(), store.filePathFor(tree.path("a")));

  list.setEntries({}, 0);
  EXPECT_TRUE(list.rows().isEmpty());
}

TEST(RecentScansListTest, AgesCountWholeUnits) {
  const std::pair<std::int64_t, const char *> ages[] = {
      {59, "just now"}, {60, "1 minute ago"}, {3'599, "59 minutes ago"}, {3'600, "1 hour ago"},
      {86'399, "23 hours ago"}, {86'400, "1 day ago"}, {40 * 86'400, "40 days ago"}};
  for (const auto &[seconds, text] : ages)
    EXPECT_EQ(RecentScansList::ageText(seconds).toStdString(), text) << seconds;
}

} // namespace
} // namespace quillane
