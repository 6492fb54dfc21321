#include "TarnwickUI/TarnwickAppCoordinator.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <filesystem>
#include <fstream>

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

// Runs the event loop until `done` holds or `limitMs` pass.
bool waitFor(const std::function<bool()> &done, int limitMs = 5000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < limitMs)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

class TarnwickAppCoordinatorTest : public ::testing::Test {
protected:
  void SetUp() override {
    root = fs::temp_directory_path() / ("quillane-coordinator-" + std::to_string(::getpid()));
    fs::create_directories(root / ".cache");
    std::ofstream(root / ".cache" / "junk") << std::string(5000, 'j');
    std::ofstream(root / "notes") << "n";
  }
  void TearDown() override { fs::remove_all(root); }

  std::unique_ptr<TarnwickAppCoordinator> make() {
    auto engine = std::make_shared<SafeCleaningEngine>(
        root.native(), std::make_shared<SystemCleaningFileSystem>(FreedesktopTrash(root.native(), (root / ".local/share").native())));
    return std::make_unique<TarnwickAppCoordinator>(std::make_shared<const FastBulkScanner>(), engine);
  }

  fs::path root;
};

TEST_F(TarnwickAppCoordinatorTest, PublishesOnlyTheLatestScan) {
  auto coordinator = make();
  coordinator->cancelScan(); // nothing running: only the flag
  EXPECT_FALSE(coordinator->isScanning());

  int arenas = 0;
  QObject::connect(coordinator.get(), &TarnwickAppCoordinator::arenaChanged, [&] { ++arenas; });
  coordinator->startScan("/usr");                               // replaced at once
  coordinator->startScan(QString::fromStdString(root.native())); // this one publishes
  EXPECT_TRUE(coordinator->isScanning());
  ASSERT_TRUE(waitFor([&] { return !coordinator->isScanning(); }));
  QCoreApplication::processEvents(); // anything the first scan still sends
  ASSERT_TRUE(coordinator->arena());
  EXPECT_EQ(arenas, 1);
  EXPECT_EQ(coordinator->arena()->rootPath(), root.native());
  EXPECT_EQ(coordinator->arena()->rootNode()->fileCount, 2);
  EXPECT_FALSE(coordinator->scanError());
}

TEST_F(TarnwickAppCoordinatorTest, CancelledScanKeepsThePreviousResultAndNoError) {
  auto coordinator = make();
  coordinator->startScan(QString::fromStdString((root / "missing").native()));
  ASSERT_TRUE(waitFor([&] { return !coordinator->isScanning(); }));
  ASSERT_TRUE(coordinator->arena());
  EXPECT_EQ(coordinator->arena()->inaccessibleCount, 1); // unreadable, not an error
  auto previous = coordinator->arena();
  coordinator->startScan("/usr");
  coordinator->cancelScan();
  EXPECT_FALSE(coordinator->isScanning());
  waitFor([] { return false; }, 300); // let the cancelled scan end and send what it will
  EXPECT_EQ(coordinator->arena(), previous);
  EXPECT_FALSE(coordinator->scanError());
}

TEST_F(TarnwickAppCoordinatorTest, MovesNodesToTheTrashAndPublishesTheReport) {
  auto coordinator = make();
  DiskNode junk;
  junk.name = "junk";
  junk.path = (root / ".cache" / "junk").native();
  junk.allocatedSize = 8192;
  coordinator->moveNodeToTrash(junk);
  ASSERT_TRUE(waitFor([&] { return coordinator->lastCleaningReport().has_value(); }));
  EXPECT_EQ(coordinator->lastCleaningReport()->cleanedPaths, std::vector<std::string>{junk.path});
  EXPECT_EQ(coordinator->lastCleaningReport()->freedBytes, 8192);
  EXPECT_TRUE(fs::exists(root / ".local/share/Trash/files/junk"));

  DiskNode tail; // the treemap's synthetic tail has no path
  tail.id = -9999;
  coordinator->moveNodeToTrash(tail);
  ASSERT_TRUE(waitFor([&] { return coordinator->lastCleaningReport()->cleanedPaths.empty(); }));
  EXPECT_EQ(coordinator->lastCleaningReport()->blockedProtectedPaths, std::vector<std::string>{""});
  EXPECT_EQ(coordinator->lastCleaningReport()->errors.at(""), "Deletion rejected: Path is empty.");
}

TEST_F(TarnwickAppCoordinatorTest, ADestroyedCoordinatorReceivesNothing) {
  auto coordinator = make();
  coordinator->startScan("/usr");
  coordinator.reset(); // stops and joins its scan; queued results die with it
  QCoreApplication::processEvents(); // under AddressSanitizer, a stray delivery would be a use after free
}

} // namespace
} // namespace tarnwick
