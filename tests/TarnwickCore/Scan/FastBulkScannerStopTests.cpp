// A scan stopped early keeps what it read: every folder read whole matches
// the disk, every folder not read whole is marked, and every total adds up.
#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Support/ScanErrors.h"
#include "TestSupport/ScriptedEntrySource.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <set>
#include <sys/stat.h>

namespace tarnwick {
namespace {

using namespace quillane::test;

struct DiskTotals {
  std::int64_t bytes = 0;
  std::int64_t files = 0;
};

class StoppedScanTest : public ::testing::Test {
protected:
  void SetUp() override {
    for (int d = 0; d < 12; ++d)
      for (int f = 0; f < 3; ++f)
        tree.writeFile("dir" + std::to_string(d) + "/sub" + std::to_string(f % 2) + "/file" + std::to_string(f), 4096);
    tree.writeFile("top.bin", 8192);
    // The oracle: every folder's subtree as stat sees it (no links here).
    oracle[tree.root()] = {ownBytes(tree.root()), 0};
    for (const auto &entry : std::filesystem::recursive_directory_iterator(tree.root())) {
      const bool isFile = !entry.is_directory();
      for (std::filesystem::path at = entry.path(); at.string().size() >= tree.root().size(); at = at.parent_path()) {
        oracle[at.string()].bytes += ownBytes(entry.path().string());
        oracle[at.string()].files += isFile ? 1 : 0;
      }
    }
  }

  static std::int64_t ownBytes(const std::string &path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return static_cast<std::int64_t>(st.st_blocks) * 512;
  }

  /// Scans with the tree kept when the `stopAtOpen`th folder is opened.
  DiskTreeArena scanStoppedAt(int stopAtOpen, std::int64_t concurrency, std::stop_source *cancel = nullptr) {
    std::stop_source keep;
    std::atomic<int> opens{0};
    script.onOpen = [&](const std::string &) {
      if (++opens == stopAtOpen) {
        keep.request_stop();
        if (cancel)
          cancel->request_stop();
      }
    };
    FastBulkScanner scanner(concurrency);
    scanner.setEntrySource(std::make_shared<ScriptedSource>(script));
    return scanner.scan(tree.root(), {}, cancel ? cancel->get_token() : std::stop_token{}, keep.get_token());
  }

  /// Checks the kept tree against the disk; returns the folders it holds
  /// that were read whole.
  int expectConsistent(const DiskTreeArena &arena) {
    const ScanReport &report = arena.scanReport();
    std::set<std::string> marked;
    for (const Failure &failure : report.unreadablePaths) {
      EXPECT_EQ(failure.reason, ScanReport::stoppedReason) << failure.path;
      marked.insert(failure.path);
    }
    EXPECT_EQ(report.unreadableFolderCount, static_cast<std::int64_t>(marked.size()));
    EXPECT_EQ(report.stoppedAfterEntries, static_cast<std::int64_t>(arena.nodeCount()) - 1);
    int whole = 0;
    for (NodeID id = 0; id < static_cast<NodeID>(arena.nodeCount()); ++id) {
      const DiskTreeArena::Record &record = arena.record(id);
      if (!record.isDirectory)
        continue;
      const std::string path = arena.path(id);
      std::int64_t sum = ownBytes(path), files = 0;
      for (const DiskNode &child : arena.children(id)) {
        sum += child.allocatedSize;
        files += child.fileCount;
      }
      EXPECT_EQ(record.allocatedSize, sum) << path;
      EXPECT_EQ(static_cast<std::int64_t>(record.fileCount), files) << path;
      const bool below = std::any_of(marked.begin(), marked.end(), [&](const std::string &m) {
        return m == path || m.starts_with(path + "/");
      });
      if (below) {
        EXPECT_LE(record.allocatedSize, oracle[path].bytes) << path;
        continue;
      }
      ++whole;
      EXPECT_EQ(record.allocatedSize, oracle[path].bytes) << path;
      EXPECT_EQ(static_cast<std::int64_t>(record.fileCount), oracle[path].files) << path;
    }
    return whole;
  }

  TempTree tree;
  Script script;
  std::map<std::string, DiskTotals> oracle;
};

TEST_F(StoppedScanTest, OneWalkerKeepsExactlyTheFoldersListedBeforeTheStop) {
  // The kth open stops the scan: k - 1 folders were listed whole, the kth is
  // marked as are those still waiting; the first open is the root's own.
  for (int k : {1, 2, 5, 14, 30}) {
    SCOPED_TRACE(k);
    const DiskTreeArena arena = scanStoppedAt(k, 1);
    ASSERT_TRUE(arena.scanReport().stoppedAfterEntries);
    const int whole = expectConsistent(arena);
    const std::int64_t folders = arena.rootNode()->directoryCount + 1;
    EXPECT_EQ(folders - arena.scanReport().unreadableFolderCount, k - 1);
    EXPECT_LE(whole, k - 1);
    if (k == 1) {
      EXPECT_EQ(*arena.scanReport().stoppedAfterEntries, 0);
    }
  }
}

TEST_F(StoppedScanTest, EveryConcurrencyKeepsAConsistentTree) {
  for (std::int64_t concurrency : {1, 2, 4, 8, 32})
    for (int k : {3, 20}) {
      SCOPED_TRACE(std::to_string(concurrency) + " walkers, stop at open " + std::to_string(k));
      expectConsistent(scanStoppedAt(k, concurrency));
    }
}

TEST_F(StoppedScanTest, AKeepNeverAskedOrOvertakenByCancelLeavesTheOldMeanings) {
  // Never asked: the scan is whole and says nothing of a stop.
  const DiskTreeArena whole = scanStoppedAt(1000, 4);
  EXPECT_FALSE(whole.scanReport().stoppedAfterEntries);
  EXPECT_EQ(whole.rootNode()->allocatedSize, oracle[tree.root()].bytes);
  EXPECT_TRUE(whole.scanReport().unreadablePaths.empty());
  // A cancel beside the keep: no tree at all.
  std::stop_source cancel;
  EXPECT_THROW(scanStoppedAt(4, 4, &cancel), ScanCancelledError);
}

} // namespace
} // namespace tarnwick
