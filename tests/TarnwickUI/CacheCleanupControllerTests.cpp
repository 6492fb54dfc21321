#include "TarnwickUI/CacheCleanupController.h"
#include "TarnwickUI/MeasuredCleaning.h"

#include "TarnwickCore/Support/ScanErrors.h"

#include <gtest/gtest.h>

#include <QTest>

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace tarnwick {
namespace {

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

} // namespace
} // namespace tarnwick
