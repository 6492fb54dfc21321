// Scans through a scripted entry source that wraps the real one, to simulate
// what real trees rarely show: unsupported volumes, placeholders, entry
// errors, pseudo file systems, cancellation at each check point, and a stop
// that keeps what was read.
#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Support/ScanErrors.h"
#include "TarnwickCore/Tree/ArenaEdit.h"
#include "TestSupport/ScriptedEntrySource.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <new>
#include <set>
#include <sys/stat.h>
#include <thread>

namespace tarnwick {
namespace {

using namespace quillane::test;

class FastBulkScannerSourceTest : public ::testing::Test {
protected:
  void SetUp() override {
    for (int d = 0; d < 30; ++d)
      for (int f = 0; f < 3; ++f)
        tree.writeFile("dir" + std::to_string(d) + "/sub/file" + std::to_string(f), 4096);
    tree.writeFile("odd/inner/deep/x", 8192);
    tree.writeFile("cloud.bin", 8192);
    tree.writeFile("broken.txt", 8192);
  }

  DiskTreeArena scan(std::int64_t concurrency = 8, std::stop_token stop = {}) {
    FastBulkScanner scanner(concurrency);
    scanner.setEntrySource(std::make_shared<ScriptedSource>(script));
    return scanner.scan(tree.root(), {}, stop);
  }

  // Once the scan is over: no walker of the batch engine opened a path
  // starting with `prefix`.
  void expectNeverOpenedBelow(const std::string &prefix) {
    std::lock_guard guard(script.lock);
    for (const std::string &path : script.opened)
      EXPECT_FALSE(path.starts_with(prefix)) << "batch engine read " << path;
  }

  TempTree tree;
  Script script;
};

TEST_F(FastBulkScannerSourceTest, UnsupportedVolumeSwitchesTheSubtreeToTheFileManagerEngine) {
  script.unsupported.insert(tree.path("odd"));
  DiskTreeArena arena = scan();
  auto expected = findTotals(tree.root());
  EXPECT_EQ(arena.rootNode()->fileCount, expected.files);
  EXPECT_EQ(arena.rootNode()->allocatedSize, duBytes(tree.root()));
  EXPECT_EQ(arena.rootNode()->directoryCount, expected.directories);
  EXPECT_EQ(std::count(script.opened.begin(), script.opened.end(), tree.path("odd")), 1);
  expectNeverOpenedBelow(tree.path("odd/"));
}

TEST_F(FastBulkScannerSourceTest, PlaceholdersKeepTheirNodeAndErroredEntriesVanish) {
  // An I/O error marks its directory as not fully read; a vanished entry
  // (in dir4) is just gone.
  script.onBatch = [](const std::string &, BatchStatus, std::vector<EntryFacts> &batch) {
    for (EntryFacts &facts : batch) {
      if (facts.name == "cloud.bin")
        facts.isDataless = true;
      if (facts.name == "broken.txt")
        facts.errorCode = EIO;
      if (facts.name == "dir4")
        facts.errorCode = ENOENT;
    }
  };
  DiskTreeArena arena = scan();
  auto expected = findTotals(tree.root());
  expected.files -= 3;
  expected.bytes = duBytes(tree.root()) - duBytes(tree.path("dir4"));
  EXPECT_EQ(arena.scanReport().skippedDatalessCount, 1);
  EXPECT_EQ(arena.scanReport().unreadableFolderCount, 1);
  EXPECT_EQ(arena.scanReport().unreadablePaths,
            (std::vector<Failure>{{"inspect the entries of", tree.root(), EIO, ""}}));
  EXPECT_EQ(arena.rootNode()->fileCount, expected.files - 1);
  EXPECT_EQ(arena.rootNode()->allocatedSize, expected.bytes - 2 * 8192);
  std::set<std::string> rootNames;
  for (const DiskNode &child : arena.children(0))
    rootNames.insert(child.name);
  EXPECT_TRUE(rootNames.contains("cloud.bin"));
  EXPECT_FALSE(rootNames.contains("broken.txt"));
}

// Whatever fails in a folder, the scan goes on and its report names the
// folder, what failed and the errno (an entry that cannot be examined: see
// above); only the root's own failure to open makes the root unreadable.
TEST_F(FastBulkScannerSourceTest, UnreadableFoldersAreListedWithWhy) {
  struct Case {
    const char *what;
    std::set<std::string> unopened, unlisted; // relative to the root, "" for the root
    std::vector<Failure> expected;            // likewise
    bool rootReadable;
  };
  const Case cases[] = {
      {"a folder cannot be opened", {"dir3/sub"}, {}, {{"open", "dir3/sub", EACCES, ""}}, true},
      {"the root cannot be opened", {""}, {}, {{"open", "", EACCES, ""}}, false},
      {"listings break off", {}, {"odd/inner", "dir12"}, {{"read", "dir12", EIO, ""}, {"read", "odd/inner", EIO, ""}},
       true},
  };
  const std::string root = tree.root();
  auto failing = [&root](const std::set<std::string> &folders, int error) {
    return [&root, &folders, error](const std::string &path) {
      return folders.contains(path.substr(std::min(path.size(), root.size() + 1))) ? error : 0;
    };
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    script.openError = failing(c.unopened, EACCES);
    script.listingError = failing(c.unlisted, EIO);
    std::vector<Failure> expected = c.expected;
    for (Failure &failure : expected)
      failure.path = failure.path.empty() ? root : tree.path(failure.path);
    const ScanReport report = scan().scanReport();
    EXPECT_EQ(report.unreadablePaths, expected);
    EXPECT_EQ(report.unreadableFolderCount, static_cast<std::int64_t>(expected.size()));
    EXPECT_EQ(report.rootReadable, c.rootReadable);
  }
}

TEST_F(FastBulkScannerSourceTest, KeepsTheFirstThousandUnreadableFoldersAndCountsThemAll) {
  // Appended: "d" + std::string trips g++ 12's -Wrestrict.
  for (std::size_t i = 0; i < ScanReport::maxUnreadablePaths; ++i)
    tree.makeDirectory(std::string("d").append(std::to_string(i)));
  script.openError = [this](const std::string &path) { return path == tree.root() ? 0 : EACCES; };
  const ScanReport report = scan(4).scanReport();
  // Besides those, the fixture's dir0 to dir29 and odd.
  EXPECT_EQ(report.unreadableFolderCount, static_cast<std::int64_t>(ScanReport::maxUnreadablePaths + 31));
  ASSERT_EQ(report.unreadablePaths.size(), ScanReport::maxUnreadablePaths);
  EXPECT_TRUE(std::ranges::is_sorted(report.unreadablePaths, {}, &Failure::path));
  EXPECT_EQ(std::ranges::adjacent_find(report.unreadablePaths, {}, &Failure::path), report.unreadablePaths.end());
  EXPECT_TRUE(report.rootReadable);
}

TEST_F(FastBulkScannerSourceTest, PseudoFileSystemMountPointsAreNotRead) {
  struct stat proc;
  if (::stat("/proc/self", &proc) != 0)
    GTEST_SKIP() << "no /proc to borrow a pseudo device number from";
  // Pretend dir7 lives on the proc file system.
  const std::string disguised = tree.path("dir7");
  script.onBatch = onDevice("dir7", static_cast<std::int64_t>(proc.st_dev));
  DiskTreeArena arena = scan();
  const std::optional<DiskNode> kept = arena.node(findNodeByPath(arena, disguised).value_or(-1));
  EXPECT_TRUE(kept && kept->isDirectory && kept->childIDs.empty());
  expectNeverOpenedBelow(disguised);
}

TEST_F(FastBulkScannerSourceTest, NeverReadsMoreDirectoriesThanTheLimit) {
  script.onOpen = [](const std::string &) { std::this_thread::sleep_for(std::chrono::milliseconds(1)); };
  for (std::int64_t limit : {1, 3}) {
    script.mostReading = 0;
    scan(limit);
    EXPECT_LE(script.mostReading.load(), limit);
    EXPECT_GE(script.mostReading.load(), 1);
  }
}

TEST_F(FastBulkScannerSourceTest, CancellationAtEveryCheckPointThrows) {
  // The end of the last directory (one walker, so nothing else is pending):
  // the walk itself completes normally.
  const std::size_t directories = static_cast<std::size_t>(findTotals(tree.root()).directories) + 1;
  struct Case {
    const char *where;
    // Whether to stop when `path` is opened (no batch) or a batch of it read.
    std::function<bool(const std::string &path, std::optional<BatchStatus> batch)> stopsAt; // nothing: at once
  };
  const Case cases[] = {
      {"before the scan", nullptr},
      {"when a directory is opened",
       [&](const std::string &path, auto batch) { return !batch && path == tree.path("dir3"); }},
      {"after a batch", [](const std::string &, auto batch) { return batch == BatchStatus::entries; }},
      {"after the walk, before the freeze",
       [&](auto &, auto batch) { return batch == BatchStatus::end && script.opened.size() == directories; }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.where);
    script.opened.clear();
    std::stop_source stop;
    if (!c.stopsAt)
      stop.request_stop();
    auto check = [&](const std::string &path, std::optional<BatchStatus> batch) {
      if (c.stopsAt && c.stopsAt(path, batch))
        stop.request_stop();
    };
    script.onOpen = [&](const std::string &path) { check(path, std::nullopt); };
    script.onBatch = [&](const std::string &path, BatchStatus status, auto &) { check(path, status); };
    EXPECT_THROW(scan(1, stop.get_token()), ScanCancelledError);
  }
}

// How a scan meets a shortage of resources: waited out when other walkers
// will free what is missing, otherwise a ScanResourceError, never a tree
// with folders missing or a thread ended by an exception.
TEST_F(FastBulkScannerSourceTest, ResourceShortagesAreWaitedOutOrFailTheScan) {
  struct Case {
    const char *what;
    std::function<int(const std::string &)> openError;
    bool walkerOutOfMemory;
    const char *errorHas; // nullptr: the whole tree is expected
  };
  std::set<std::string> refused; // guarded by the script's lock
  const Case cases[] = {
      {"each folder's first open finds no descriptor free",
       [&](const std::string &path) {
         std::lock_guard guard(script.lock);
         return refused.insert(path).second ? EMFILE : 0;
       },
       false, nullptr},
      {"the system's file table stays full", [](const std::string &) { return ENFILE; }, false, "file descriptors"},
      {"the kernel has no memory to open a folder",
       [](const std::string &path) { return path.ends_with("/sub") ? ENOMEM : 0; }, false, "out of memory"},
      {"a walker runs out of memory", nullptr, true, "out of memory"},
  };
  const FindTotals expected = findTotals(tree.root());
  const std::int64_t expectedBytes = duBytes(tree.root());
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    script.openError = c.openError;
    script.onBatch = [&c](const std::string &path, BatchStatus, auto &) {
      if (c.walkerOutOfMemory && path.ends_with("dir5"))
        throw std::bad_alloc();
    };
    try {
      DiskTreeArena arena = scan();
      EXPECT_EQ(c.errorHas, nullptr) << "the scan succeeded";
      EXPECT_EQ(arena.scanReport().unreadableFolderCount, 0);
      EXPECT_EQ(arena.rootNode()->directoryCount, expected.directories);
      EXPECT_EQ(arena.rootNode()->allocatedSize, expectedBytes);
    } catch (const ScanResourceError &error) {
      ASSERT_NE(c.errorHas, nullptr) << error.what();
      EXPECT_NE(std::string(error.what()).find(c.errorHas), std::string::npos) << error.what();
      EXPECT_NE(std::string(error.what()).find(tree.root()), std::string::npos) << error.what();
    }
  }
}

TEST_F(FastBulkScannerSourceTest, TooManyNodesEndsWithAClearError) {
  FastBulkScanner scanner;
  scanner.setMaxNodeCount(50);
  try {
    scanner.scan(tree.root());
    FAIL() << "a tree of more than 50 nodes was accepted";
  } catch (const ScanTooLargeError &error) {
    EXPECT_NE(std::string(error.what()).find("50"), std::string::npos);
  }
}

// A scan stopped early keeps what it read: every folder read whole matches
// the disk, every folder not read whole is marked, and every total adds up.
class FastBulkScannerStopTest : public ::testing::Test {
protected:
  void SetUp() override {
    for (int d = 0; d < 12; ++d)
      for (int f = 0; f < 3; ++f)
        tree.writeFile("dir" + std::to_string(d) + "/sub" + std::to_string(f % 2) + "/file" + std::to_string(f), 4096);
    tree.writeFile("top.bin", 8192);
    // The oracle: every folder's subtree as stat sees it (no links here).
    oracle[tree.root()].bytes = ownBytes(tree.root());
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
  std::map<std::string, FindTotals> oracle; // bytes and files only
};

TEST_F(FastBulkScannerStopTest, OneWalkerKeepsExactlyTheFoldersListedBeforeTheStop) {
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

TEST_F(FastBulkScannerStopTest, EveryConcurrencyKeepsAConsistentTree) {
  for (std::int64_t concurrency : {1, 2, 4, 8, 32})
    for (int k : {3, 20}) {
      SCOPED_TRACE(std::to_string(concurrency) + " walkers, stop at open " + std::to_string(k));
      expectConsistent(scanStoppedAt(k, concurrency));
    }
}

TEST_F(FastBulkScannerStopTest, AKeepNeverAskedOrOvertakenByCancelLeavesTheOldMeanings) {
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
