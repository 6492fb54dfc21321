// Walkers added while the running ones wait on the device.
#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TestSupport/ArenaDescription.h"
#include "TestSupport/ScriptedEntrySource.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>

namespace tarnwick {
namespace {

using namespace quillane::test;

TEST(WalkerPoolTest, WalkersThatWaitGetCompanyUpToTheCeilingAndTheTreeStaysTheSame) {
  TempTree tree;
  for (int top = 0; top < 20; ++top)
    for (int sub = 0; sub < 15; ++sub)
      tree.writeFile("d" + std::to_string(top) + "/s" + std::to_string(sub) + "/f", 100);
  const std::vector<std::string> expected = describeArena(FastBulkScanner(1).scan(tree.root()), false);

  // The process uses no CPU, as when its walkers wait on a cold cache. On a
  // machine whose cores sit idle meanwhile, more walkers help; on one busy
  // with other work, they would only queue for a core. The samples stand in
  // for the machine, whatever else runs beside this test.
  const auto started = std::chrono::steady_clock::now();
  auto machine = [started](double idleShare) -> ScanLoadProbe {
    return [started, idleShare] {
      const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
      return ScanLoadSample{0, idleShare * seconds * std::max(1u, std::thread::hardware_concurrency())};
    };
  };
  struct Case {
    std::int64_t ceiling;
    double idleShare;
    bool added;
  };
  for (const Case c : {Case{1, 1.0, false}, Case{8, 1.0, true}, Case{8, 0.0, false}}) {
    SCOPED_TRACE(testing::Message() << c.ceiling << " walkers at most, " << c.idleShare << " of the cores idle");
    // Each folder is listed after a pause without CPU work, as a cold
    // cache's read would be; the threads that list are recorded.
    Script script;
    std::mutex lock;
    std::set<std::thread::id> threads;
    script.onOpen = [&](const std::string &) {
      std::this_thread::sleep_for(std::chrono::milliseconds(3));
      std::lock_guard guard(lock);
      threads.insert(std::this_thread::get_id());
    };
    FastBulkScanner scanner(1);
    scanner.setEntrySource(std::make_shared<ScriptedSource>(script));
    scanner.setLoadProbe(machine(c.idleShare));
    scanner.setConcurrencyCeiling(c.ceiling);
    EXPECT_EQ(describeArena(scanner.scan(tree.root()), false), expected);
    // 321 folders of 3 ms each: about a second for one walker.
    EXPECT_EQ(threads.size() > 1, c.added) << threads.size();
    EXPECT_LE(threads.size(), static_cast<std::size_t>(c.ceiling));
  }
}

} // namespace
} // namespace tarnwick
