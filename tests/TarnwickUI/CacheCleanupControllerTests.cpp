#include "TarnwickUI/CacheCleanupController.h"
#include "TarnwickCore/Deletion/MeasuredCleaning.h"
#include "TarnwickUI/TrashController.h"

#include "TarnwickCore/Deletion/CleaningFileSystem.h"
#include "TarnwickCore/Deletion/FreedesktopTrash.h"
#include "TarnwickCore/Deletion/SafeCleaningEngine.h"
#include "TarnwickCore/Deletion/TrashEntrySize.h"
#include "TarnwickCore/Support/NoLinkPath.h"
#include "TarnwickCore/Support/ScopeExit.h"
#include "TarnwickCore/Support/ScanErrors.h"
#include "TestSupport/TempTree.h"
#include "TestSupport/TrashClient.h"

#include <gtest/gtest.h>

#include <QTest>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>

namespace tarnwick {
namespace {

using namespace quillane::test;

CleanableItem item(std::string name, std::int64_t size) {
  return {Uuid::random(), std::move(name), "", "/nowhere/" + std::to_string(size), size, CleanableCategory::userCache,
          true, true, std::nullopt, {}};
}

TEST(CacheCleanupControllerTest, ACancelledMeasurementLeavesTheListAlone) {
  std::atomic<int> runs = 0;
  // The first run answers at once; later ones wait until they are stopped.
  auto scan = [&runs](const std::string &, std::stop_token stop) {
    if (runs++ == 0)
      return std::vector<CleanableItem>{item("kept", 10)};
    std::mutex mutex;
    std::condition_variable_any stopped;
    std::unique_lock lock(mutex);
    stopped.wait(lock, stop, [] { return false; });
    throw ScanCancelledError();
  };
  CacheCleanupController controller("/nowhere", nullptr, scan);
  controller.rescan();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !controller.isScanning(); }));
  ASSERT_EQ(controller.items().size(), 1u);

  controller.rescan();
  ASSERT_TRUE(QTest::qWaitFor([&] { return runs == 2; }));
  EXPECT_TRUE(controller.isScanning());
  controller.cancel();
  EXPECT_FALSE(controller.isScanning());
  EXPECT_TRUE(controller.wasCancelled());
  // Time for the stopped run to deliver what it must not.
  EXPECT_FALSE(QTest::qWaitFor([&] { return controller.items().size() != 1; }, 200));
  EXPECT_EQ(controller.items()[0].name, "kept");
}

// Ticking is no confirmation of the path: an item that is not, or no
// longer, a cache by the guard's rules stays where it is.
TEST(CacheCleanupControllerTest, CleaningMovesOnlyWhatTheGuardApprovesWithoutConfirmation) {
  TempTree home;
  home.writeFile("notes.txt", 100);
  home.writeFile(".cache/pip/wheel", 100);
  auto engine = std::make_shared<SafeCleaningEngine>(
      home.root(), std::make_shared<SystemCleaningFileSystem>(FreedesktopTrash(home.root(), home.path(".local/share"))));
  auto scan = [&home](const std::string &, std::stop_token) {
    std::vector<CleanableItem> items{item("notes", 100), item("pip", 100)};
    items[0].path = home.path("notes.txt");
    items[1].path = home.path(".cache/pip");
    return items;
  };
  CacheCleanupController controller(home.root(), engine, scan);
  controller.rescan();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !controller.isScanning(); }));
  // What the guard would refuse is listed, not ticked.
  ASSERT_EQ(controller.items().size(), 2u);
  EXPECT_FALSE(controller.items()[0].isSelected);
  EXPECT_TRUE(controller.items()[1].isSelected);
  controller.setTicked(0, true); // the guard refuses it still
  controller.clean();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !controller.isCleaning() && !controller.isScanning(); }));
  EXPECT_TRUE(std::filesystem::exists(home.path("notes.txt")));
  EXPECT_FALSE(std::filesystem::exists(home.path(".cache/pip")));
}

TEST(MeasuredCleaningTest, AFileCountsOnlyWhenAllItsLinksAreAmongTheCleanedItems) {
  const CacheMeasurement::SharedFile twoLinksOneHere{1, 7, 2, 1, 4096};
  const CacheMeasurement::SharedFile threeLinksOneHere{1, 8, 3, 1, 8192};
  struct Case {
    const char *what;
    std::vector<std::pair<std::string, CacheMeasurement>> cleaned;
    std::int64_t bytes;
    std::int64_t remainingLinks;
    std::map<std::string, std::int64_t> linkedElsewhere;
  };
  const Case cases[] = {
      {"plain files", {{"/a", {8192, {}}}}, 8192, 0, {}},
      {"a link whose twin stays", {{"/a", {0, {twoLinksOneHere}}}}, 0, 1, {{"/a", 1}}},
      {"both links, in two items", {{"/a", {0, {twoLinksOneHere}}}, {"/b", {0, {twoLinksOneHere}}}}, 4096, 0, {}},
      {"a folder of which part stays", {{"/a", {100, {threeLinksOneHere}}}}, 100, 2, {}},
      {"two of three links", {{"/a", {0, {threeLinksOneHere}}}, {"/b", {0, {threeLinksOneHere}}}}, 0, 1,
       {{"/a", 1}, {"/b", 1}}},
      {"nothing cleaned", {}, 0, 0, {}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    const ReclaimedSpace space = settleReclaimedSpace(DeletionMode::permanentDelete, c.cleaned);
    EXPECT_EQ(space.mode, DeletionMode::permanentDelete);
    EXPECT_EQ(space.bytes, c.bytes);
    EXPECT_EQ(space.remainingLinks, c.remainingLinks);
    EXPECT_EQ(space.linkedElsewhere, c.linkedElsewhere);
  }
}

// A removal that stops part-way (at an immutable file inside the cache)
// frees what went before it stopped; a refused one frees nothing.
TEST(MeasuredCleaningTest, APermanentRemovalThatStopsPartWayCountsWhatWent) {
  TempTree home;
  home.writeFile(".cache/pip/big", 300'000);
  home.writeFile(".cache/pip/held/frozen", 10'000);
  const std::string frozen = shellQuote(home.path(".cache/pip/held/frozen"));
  int status = 0;
  runCommand("chattr +i " + frozen + " 2>/dev/null", &status);
  if (status != 0)
    GTEST_SKIP() << "cannot set the immutable attribute here (needs root)";
  const ScopeExit thaw([&] { runCommand("chattr -i " + frozen); });
  home.writeFile(".cache/refused", 100'000);
  SafeCleaningEngine engine(home.root(), std::make_shared<SystemCleaningFileSystem>(
                                             FreedesktopTrash(home.root(), home.path(".local/share"))));
  std::vector<CleanableItem> items{item("pip", 0), item("refused", 0)};
  items[0].path = home.path(".cache/pip");
  items[1].path = home.path(".cache/refused/");
  const std::int64_t before = duBytes(home.path(".cache/pip"));
  const SafeCleaningReport report =
      cleanMeasuringSpace(engine, items, DeletionMode::permanentDelete, false, [](const CleanableItem &item) {
        const ParentAndName at = openParentWithoutLinks(item.path);
        return TrashEntrySize::measure(at.parent.get(), at.name).removal;
      });
  EXPECT_EQ(report.errors.size(), 2u);
  EXPECT_FALSE(std::filesystem::exists(home.path(".cache/pip/big")));
  ASSERT_TRUE(report.reclaimed);
  EXPECT_EQ(report.reclaimed->bytes, before - duBytes(home.path(".cache/pip")));
}

/// A scratch home whose Trash holds a file and a folder, put there by
/// trash-cli (an independent client), and a controller that has listed it.
class TrashControllerTest : public ::testing::Test {
protected:
  void SetUp() override {
    tree.writeFile("home/report.pdf", 48'000);
    tree.writeFile("home/photos/a.jpg", 300'000);
    tree.writeFile("home/photos/b.jpg", 120'000);
    tree.makeDirectory("data");
    photosBytes = duBytes(tree.path("home/photos"));
    int status = 0;
    trashCli("trash-put " + shellQuote(tree.path("home/report.pdf")) + " " + shellQuote(tree.path("home/photos")),
             &status);
    ASSERT_EQ(status, 0);
    controller.refresh();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !controller.isBusy(); }));
  }

  std::string trashCli(const std::string &command, int *status = nullptr) const {
    return runAtHome(tree.path("home"), tree.path("data"), command + " 2>/dev/null", status);
  }
  // The listed items that lie in the scratch Trash (mounted drives may add others).
  std::vector<TrashedItem> scratchItems() const {
    std::vector<TrashedItem> found;
    for (const TrashedItem &item : controller.items())
      if (item.trashDirectory.starts_with(tree.root()))
        found.push_back(item);
    return found;
  }
  std::size_t indexOf(const std::string &originalPath) const {
    for (std::size_t index = 0; index < controller.items().size(); ++index)
      if (controller.items()[index].originalPath == originalPath)
        return index;
    ADD_FAILURE() << originalPath << " is not listed";
    return controller.items().size();
  }
  void waitIdle() { ASSERT_TRUE(QTest::qWaitFor([&] { return !controller.isBusy(); }, 20'000)); }

  TempTree tree;
  std::int64_t photosBytes = 0;
  TrashController controller{TrashCatalogue(FreedesktopTrash(tree.path("home"), tree.path("data")))};
};

// A restore that would replace a file fails, says which, and keeps the item
// listed; the next one succeeds.
TEST_F(TrashControllerTest, RestorePutsTheItemBackButNeverOverAFile) {
  { std::ofstream(tree.path("home/report.pdf")) << "newer"; }
  controller.restore({indexOf(tree.path("home/report.pdf"))});
  waitIdle();
  EXPECT_FALSE(controller.lastSucceeded());
  EXPECT_TRUE(controller.lastMessage().contains(QStringLiteral("report.pdf"))) << controller.lastMessage().toStdString();
  EXPECT_EQ(readFile(tree.path("home/report.pdf")), "newer");

  controller.restore({indexOf(tree.path("home/photos"))});
  EXPECT_TRUE(controller.isRestoring());
  waitIdle();
  EXPECT_TRUE(controller.lastSucceeded()) << controller.lastMessage().toStdString();
  EXPECT_EQ(duBytes(tree.path("home/photos")), photosBytes);
  ASSERT_EQ(scratchItems().size(), 1u);
  EXPECT_EQ(scratchItems()[0].originalPath, tree.path("home/report.pdf"));
  EXPECT_EQ(trashCli("trash-list").find("photos"), std::string::npos) << "trash-cli still sees it";
}

} // namespace
} // namespace tarnwick
