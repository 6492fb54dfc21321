#include "TarnwickUI/CacheCleanupController.h"

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

} // namespace
} // namespace tarnwick
