// Walkers added while the running ones wait on the device.
#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Scan/LinuxBatchEntrySource.h"
#include "TestSupport/ArenaDescription.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <set>
#include <thread>

namespace tarnwick {
namespace {

using quillane::test::describeArena;
using quillane::test::TempTree;

// Lists the real directory after a pause without CPU work, as a cold
// cache's read would, and records which threads list.
class WaitingSource : public DirectoryEntrySource {
public:
  std::unique_ptr<DirectoryEntryReader> makeReader() override {
    return std::make_unique<Reader>(*this, real_.makeReader());
  }
  std::size_t listingThreads() {
    std::lock_guard lock(mutex_);
    return threads_.size();
  }

private:
  class Reader : public DirectoryEntryReader {
  public:
    Reader(WaitingSource &owner, std::unique_ptr<DirectoryEntryReader> real) : owner_(owner), real_(std::move(real)) {}
    bool open(const std::string &path) override {
      std::this_thread::sleep_for(std::chrono::milliseconds(3));
      std::lock_guard lock(owner_.mutex_);
      owner_.threads_.insert(std::this_thread::get_id());
      return real_->open(path);
    }
    BatchStatus nextBatch(std::vector<EntryFacts> &out) override { return real_->nextBatch(out); }
    void close() override { real_->close(); }

  private:
    WaitingSource &owner_;
    std::unique_ptr<DirectoryEntryReader> real_;
  };

  LinuxBatchEntrySource real_;
  std::mutex mutex_;
  std::set<std::thread::id> threads_;
};

TEST(WalkerPoolTest, WalkersThatWaitGetCompanyUpToTheCeilingAndTheTreeStaysTheSame) {
  TempTree tree;
  for (int top = 0; top < 20; ++top)
    for (int sub = 0; sub < 15; ++sub)
      tree.writeFile("d" + std::to_string(top) + "/s" + std::to_string(sub) + "/f", 100);
  const std::vector<std::string> expected = describeArena(FastBulkScanner(1).scan(tree.root()), false);

  // One walker at first, so that a core left to other tests running beside
  // this one is enough to tell it waits.
  for (const std::int64_t ceiling : {1, 8}) {
    SCOPED_TRACE(ceiling);
    auto source = std::make_shared<WaitingSource>();
    FastBulkScanner scanner(1);
    scanner.setEntrySource(source);
    scanner.setConcurrencyCeiling(ceiling);
    EXPECT_EQ(describeArena(scanner.scan(tree.root()), false), expected);
    // 321 folders of 3 ms each: about a second for one walker.
    if (ceiling == 1)
      EXPECT_EQ(source->listingThreads(), 1u);
    else
      EXPECT_GT(source->listingThreads(), 1u);
    EXPECT_LE(source->listingThreads(), static_cast<std::size_t>(ceiling));
  }
}

} // namespace
} // namespace tarnwick
