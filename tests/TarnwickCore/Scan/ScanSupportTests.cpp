#include "TarnwickCore/Scan/ScanWorkQueue.h"
#include "TarnwickCore/Scan/ShardedHardlinkDeduplicator.h"
#include "TarnwickCore/Scan/ThrottledProgressEmitter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace tarnwick {
namespace {

TEST(ShardedHardlinkDeduplicatorTest, CountsEachDeviceInodePairOnceWhateverTheThreads) {
  ShardedHardlinkDeduplicator deduplicator;
  EXPECT_TRUE(deduplicator.track(1, 0));
  EXPECT_TRUE(deduplicator.track(1, 0)); // no identity: always counted
  EXPECT_TRUE(deduplicator.track(1, 77));
  EXPECT_FALSE(deduplicator.track(1, 77));
  EXPECT_TRUE(deduplicator.track(2, 77)); // same inode, other device
  EXPECT_TRUE(deduplicator.track(1, 77 + 64)); // same shard, other inode
  // Concurrent trackers agree on one winner per key.
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

// A walker idle in pop() takes slices of the work another shares, and the
// sharer returns only once every slice, the helper's too, has run.
TEST(ScanWorkQueueTest, IdleWalkersTakeSlicesOfSharedWorkAndTheSharerWaitsForThem) {
  std::stop_source stop;
  ScanWorkQueue queue(stop.get_token());
  ScanWorkItem root;
  queue.push({&root, 1});
  ASSERT_TRUE(queue.pop().has_value()); // outstanding, so the next pop() waits
  std::jthread idle([&queue] { EXPECT_FALSE(queue.pop().has_value()); });
  while (queue.idleCount() == 0)
    std::this_thread::yield();

  constexpr std::size_t count = 400;
  std::vector<int> runs(count);
  std::vector<std::thread::id> ranOn(count);
  queue.share(count, 1, [&](std::size_t begin, std::size_t end) {
    // Before the writes: a sharer that did not wait would miss them.
    std::this_thread::sleep_for(std::chrono::microseconds(500));
    for (std::size_t i = begin; i < end; ++i) {
      ++runs[i];
      ranOn[i] = std::this_thread::get_id();
    }
  });
  EXPECT_EQ(std::count(runs.begin(), runs.end(), 1), static_cast<long>(count));
  EXPECT_LT(std::count(ranOn.begin(), ranOn.end(), std::this_thread::get_id()), static_cast<long>(count));
  queue.finish(); // the scan is complete: the idle walker leaves
}

} // namespace
} // namespace tarnwick
