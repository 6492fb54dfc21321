#include "TarnwickCore/Scan/ShardedHardlinkDeduplicator.h"
#include "TarnwickCore/Scan/ThrottledProgressEmitter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace tarnwick {
namespace {

TEST(ShardedHardlinkDeduplicatorTest, CountsEachDeviceInodePairOnce) {
  ShardedHardlinkDeduplicator deduplicator;
  EXPECT_TRUE(deduplicator.track(1, 0));
  EXPECT_TRUE(deduplicator.track(1, 0)); // no identity: always counted
  EXPECT_TRUE(deduplicator.track(1, 77));
  EXPECT_FALSE(deduplicator.track(1, 77));
  EXPECT_TRUE(deduplicator.track(2, 77)); // same inode, other device
  EXPECT_TRUE(deduplicator.track(1, 77 + 64)); // same shard, other inode
}

TEST(ShardedHardlinkDeduplicatorTest, ConcurrentTrackersAgreeOnOneWinnerPerKey) {
  ShardedHardlinkDeduplicator deduplicator;
  std::atomic<int> firstSightings{0};
  {
    std::vector<std::jthread> threads;
    for (int t = 0; t < 4; ++t)
      threads.emplace_back([&] {
        for (std::uint64_t ino = 1; ino <= 5000; ++ino)
          if (deduplicator.track(7, ino))
            ++firstSightings;
      });
  }
  EXPECT_EQ(firstSightings.load(), 5000);
}

// A clock the test moves by hand.
struct ManualClock {
  std::atomic<double> now{1000.0};
  ThrottledProgressEmitter::WallClock function() {
    return [this] { return now.load(); };
  }
};

TEST(ThrottledProgressEmitterTest, ReportsAtMostOncePerInterval) {
  struct Case {
    double frequency;
    double expectedInterval;
  };
  for (Case c : {Case{12.0, 1.0 / 12}, Case{0.5, 1.0}, Case{0.0, 1.0}}) {
    ManualClock clock;
    std::vector<ScanProgress> reports;
    ThrottledProgressEmitter emitter("/root", c.frequency,
                                     [&](const ScanProgress &p) { reports.push_back(p); }, clock.function());
    EXPECT_DOUBLE_EQ(emitter.intervalSeconds(), c.expectedInterval);
    emitter.record(1, 0, 100, "/root/a"); // the first record always reports
    clock.now = clock.now + 0.010;
    emitter.record(1, 0, 50, "/root/b");
    ASSERT_EQ(reports.size(), 1u);
    clock.now = clock.now + c.expectedInterval;
    emitter.record(0, 1, 0, "/root/dir");
    ASSERT_EQ(reports.size(), 2u);
    ScanProgress expected{"/root", "/root/dir", 2, 1, 150, reports[1].elapsedSeconds};
    EXPECT_EQ(reports[1], expected);
    EXPECT_NEAR(reports[1].elapsedSeconds, 0.010 + c.expectedInterval, 1e-9);
  }
}

TEST(ThrottledProgressEmitterTest, FinalReportIgnoresTheIntervalAndCallsOutsideTheLock) {
  // The callback reports again at once: early for the interval, and a
  // deadlock if the lock were held around the call.
  ManualClock clock;
  std::vector<ScanProgress> reports;
  ThrottledProgressEmitter *self = nullptr;
  auto report = [&](const ScanProgress &p) {
    reports.push_back(p);
    if (reports.size() == 1)
      self->emitFinal("/root");
  };
  ThrottledProgressEmitter emitter("/root", 12.0, report, clock.function());
  self = &emitter;
  emitter.record(3, 1, 30, "/root/x");
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[1].currentPath, "/root");
  EXPECT_EQ(reports[1].scannedFiles, 3);

  ThrottledProgressEmitter silent("/root", 12.0, nullptr, clock.function());
  silent.record(1, 1, 1, "/root/x");
  silent.emitFinal("/root"); // nothing to call, nothing to crash
}

} // namespace
} // namespace tarnwick
