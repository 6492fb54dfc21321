// Scans of real temporary trees, checked against `find` and `du` as independent oracles.
#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Tree/ArenaEdit.h"
#include "TestSupport/ArenaDescription.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <mutex>

namespace tarnwick {
namespace {

using namespace quillane::test;

class FastBulkScannerTreeTest : public ::testing::Test {
protected:
  void SetUp() override {
    for (const auto &[file, bytes] : {std::pair{"docs/a.txt", 10'000}, {"docs/b.txt", 1},
                                      {"nested/deeper/deepest/data.bin", 70'000}, {"links/link1", 50'000}})
      tree.writeFile(file, bytes);
    tree.makeDirectory("empty");
    tree.makeHardLink("links/link1", "links/link2");
    // The shallower name is first in breadth-first order, whatever walker
    // reaches the deeper one first.
    tree.writeFile("spread/a/deep/er/linkA", 30'000);
    tree.makeHardLink("spread/a/deep/er/linkA", "spread/b/linkB");
    outside.writeFile("original", 20'000);
    tree.makeHardLink(outside.path("original"), "linkFromOutside");
    tree.makeSymlink("symlinks/toFile", "../docs/a.txt");
    tree.makeSymlink("symlinks/toDirectory", "../nested");
    tree.makeSymlink("symlinks/dangling", "nowhere");
    tree.makeSymlink("symlinks/self", "self");
    // Too long to be kept in the inode: it takes a block of its own.
    tree.makeSymlink("symlinks/long", std::string(300, 't'));
    tree.makeFifo("fifo");
    tree.makeSparseFile("sparse", 1 << 30);
    tree.writeFile("Tool.APP/Contents/binary", 5000);
    for (const std::string &name : {std::string("new\nline"), std::string("bad\xff\xfe"), std::string(255, 'n')})
      tree.writeFile("names/" + name, 3);
    // More than one 128 KiB listing buffer of entries.
    for (int i = 0; i < 3000; ++i)
      tree.writeFile("wide/entry-with-a-reasonably-long-name-" + std::to_string(i), 0);
    // A folder keeps the blocks it grew to list entries that are gone.
    for (int i = 0; i < 3000; ++i)
      tree.writeFile("shrunk/gone-with-a-reasonably-long-name-" + std::to_string(i), 0);
    for (int i = 0; i < 3000; ++i)
      std::filesystem::remove(tree.path("shrunk/gone-with-a-reasonably-long-name-" + std::to_string(i)));
  }

  // The node at `relative` below the root ("" for the root itself), or -1.
  NodeID at(const DiskTreeArena &arena, std::string_view relative) const {
    return findNodeByPath(arena, relative.empty() ? tree.root() : tree.path(relative)).value_or(-1);
  }

  TempTree tree;
  TempTree outside;
};

TEST_F(FastBulkScannerTreeTest, MatchesFindAndIsTheSameTreeOnEveryEngineAndConcurrency) {
  const auto expected = findTotals(tree.root());
  std::vector<std::string> reference;
  for (auto [concurrency, fileManager] : {std::pair{1, false}, {2, false}, {8, false}, {32, false}, {8, true}}) {
    SCOPED_TRACE(std::to_string(concurrency) + (fileManager ? " file-manager engine" : " batch engine"));
    std::mutex lock;
    ScanProgress last;
    const DiskTreeArena arena = FastBulkScanner(concurrency, fileManager).scan(tree.root(), [&](const ScanProgress &p) {
      std::lock_guard guard(lock);
      last = p;
    });
    // The final report counts every listed folder, the root's included.
    EXPECT_EQ(std::tie(last.rootPath, last.currentPath, last.scannedFiles, last.scannedDirectories),
              std::tuple(tree.root(), tree.root(), expected.files, expected.directories + 1));
    EXPECT_EQ(last.accumulatedBytes, arena.rootNode()->allocatedSize);
    const ScanReport &report = arena.scanReport();
    EXPECT_EQ(report.skippedSymlinkCount, expected.symlinks);
    EXPECT_EQ(report.unreadableFolderCount, 0);
    EXPECT_TRUE(report.rootReadable);
    EXPECT_TRUE(report.unreadablePaths.empty());
    EXPECT_TRUE(arena.node(at(arena, "Tool.APP"))->isPackage);
    EXPECT_EQ(arena.nodeCount(), static_cast<std::size_t>(expected.files + expected.directories + 1));
    if (!reference.empty()) {
      EXPECT_EQ(describeArena(arena), reference);
      continue;
    }
    reference = describeArena(arena);
    const DiskNode root = *arena.rootNode();
    EXPECT_EQ(root.fileCount, expected.files);
    EXPECT_EQ(root.directoryCount, expected.directories);
    // Folders count their own blocks and their links', as du does.
    EXPECT_EQ(root.allocatedSize, duBytes(tree.root()));
    auto node = [&](std::string_view relative) { return arena.node(at(arena, relative)).value(); };
    for (const char *name : {"empty", "shrunk", "wide", "symlinks"})
      EXPECT_EQ(node(name).allocatedSize, duBytes(tree.path(name))) << name;
    // The size goes to the first of the two names in identifier order.
    EXPECT_EQ(node("links").fileCount, 2);
    EXPECT_GT(arena.node(node("links").childIDs[0])->allocatedSize, 0);
    EXPECT_EQ(arena.node(node("links").childIDs[1])->allocatedSize, 0);
    EXPECT_GT(node("spread/b/linkB").allocatedSize, 0);
    EXPECT_EQ(node("spread/a/deep/er/linkA").allocatedSize, 0);
    EXPECT_EQ(node("Tool.APP").fileCount, 1); // packages are still walked
    std::set<std::string> names;
    for (const DiskNode &name : arena.children(at(arena, "names")))
      names.insert(name.name);
    EXPECT_EQ(names, (std::set<std::string>{"new\nline", "bad\xff\xfe", std::string(255, 'n')}));
  }
}

TEST_F(FastBulkScannerTreeTest, TheLinkTableTellsWhatRemovingASubtreeFrees) {
  const DiskTreeArena arena = FastBulkScanner(4).scan(tree.root());
  const std::int64_t linkedFile = duBytes(tree.path("spread/b/linkB"));
  const std::int64_t outsider = duBytes(outside.path("original"));
  const struct {
    const char *path;
    std::int64_t freed;
    std::uint64_t linksLeft; // links to the subtree's files outside it
  } cases[] = {
      {"links", duBytes(tree.path("links")), 0},        // both names inside
      {"spread", duBytes(tree.path("spread")), 0},      // its names apart, but both inside
      {"spread/a", duBytes(tree.path("spread/a")) - linkedFile, 1}, // the folders alone
      {"spread/b/linkB", 0, 1},                         // carries the size, frees nothing
      {"linkFromOutside", 0, 1}, {"docs/a.txt", duBytes(tree.path("docs/a.txt")), 0},
      {"", duBytes(tree.root()) - outsider, 1},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.path);
    const NodeID id = at(arena, c.path);
    ASSERT_GE(id, 0);
    const CacheMeasurement measurement = arena.removalMeasurement(id);
    EXPECT_EQ(measurement.freedBytes(), c.freed);
    std::uint64_t linksLeft = 0;
    for (const CacheMeasurement::SharedFile &file : measurement.sharedFiles)
      linksLeft += file.linkCount - file.namesFound;
    EXPECT_EQ(linksLeft, c.linksLeft);
  }
  EXPECT_EQ(arena.sharedLinks().files().size(), 3u) << "nothing for files with one name";
}

TEST(FastBulkScannerTest, PathsDeeperThanPathMaxAreScanned) {
  TempTree tree;
  const int depth = PATH_MAX / 121 + 5;
  tree.makeDeepChain("", std::string(120, 'd'), depth, 9000);

  for (bool fileManager : {false, true}) {
    DiskTreeArena arena = FastBulkScanner(8, fileManager).scan(tree.root());
    EXPECT_EQ(arena.scanReport().unreadableFolderCount, 0) << fileManager;
    EXPECT_EQ(arena.rootNode()->directoryCount, depth) << fileManager;
    EXPECT_EQ(arena.rootNode()->fileCount, 1) << fileManager;
    EXPECT_EQ(arena.rootNode()->allocatedSize, duBytes(tree.root())) << fileManager;
    EXPECT_GT(arena.path(static_cast<NodeID>(arena.nodeCount() - 1)).size(), static_cast<std::size_t>(PATH_MAX));
  }
}

} // namespace
} // namespace tarnwick
