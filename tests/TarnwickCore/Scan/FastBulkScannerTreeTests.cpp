// Scans of real temporary trees, checked against `find` as an independent oracle.
#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {
namespace {

using quillane::test::findTotals;
using quillane::test::TempTree;

// Every node as one comparable line, so a difference reads as a path.
std::vector<std::string> describe(const DiskTreeArena &arena) {
  std::vector<std::string> lines;
  for (NodeID id = 0; id < static_cast<NodeID>(arena.nodeCount()); ++id) {
    DiskNode node = *arena.node(id);
    lines.push_back(node.path + (node.isDirectory ? "/ " : " ") + std::to_string(node.parentID.value_or(-1)) +
                    " " + std::to_string(node.allocatedSize) + " " +
                    std::to_string(node.fileCount) + " " + std::to_string(node.directoryCount) +
                    (node.isPackage ? " package" : ""));
  }
  return lines;
}

class FastBulkScannerTreeTest : public ::testing::Test {
protected:
  void SetUp() override {
    tree.writeFile("docs/a.txt", 10'000);
    tree.writeFile("docs/b.txt", 1);
    tree.makeDirectory("empty");
    tree.makeDirectory("nested/deeper/deepest");
    tree.writeFile("nested/deeper/deepest/data.bin", 70'000);
    tree.writeFile("links/link1", 50'000);
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
    tree.makeFifo("fifo");
    tree.makeSparseFile("sparse", 1 << 30);
    tree.writeFile("Tool.APP/Contents/binary", 5000);
    tree.writeFile(std::string("names/new\nline"), 3);
    tree.writeFile(std::string("names/bad\xff\xfe"), 3);
    tree.writeFile("names/" + std::string(255, 'n'), 3);
    // More than one 128 KiB listing buffer of entries.
    for (int i = 0; i < 3000; ++i)
      tree.writeFile("wide/entry-with-a-reasonably-long-name-" + std::to_string(i), 0);
  }

  TempTree tree;
  TempTree outside;
};

TEST_F(FastBulkScannerTreeTest, MatchesFindAndIsTheSameTreeOnEveryEngineAndConcurrency) {
  const auto expected = findTotals(tree.root());
  std::vector<std::string> reference;
  for (auto [concurrency, fileManager] : {std::pair{1, false}, {2, false}, {8, false}, {32, false}, {8, true}}) {
    SCOPED_TRACE(std::to_string(concurrency) + (fileManager ? " file-manager engine" : " batch engine"));
    const DiskTreeArena arena = FastBulkScanner(concurrency, fileManager).scan(tree.root());
    const ScanReport &report = arena.scanReport();
    EXPECT_EQ(report.skippedSymlinkCount, expected.symlinks);
    EXPECT_EQ(report.unreadableFolderCount, 0);
    EXPECT_TRUE(report.rootReadable);
    EXPECT_TRUE(report.unreadablePaths.empty());
    if (!reference.empty()) {
      EXPECT_EQ(describe(arena), reference);
      continue;
    }
    reference = describe(arena);
    const DiskNode root = *arena.rootNode();
    EXPECT_EQ(root.fileCount, expected.files);
    EXPECT_EQ(root.directoryCount, expected.directories);
    EXPECT_EQ(root.allocatedSize, expected.bytes);
    EXPECT_EQ(arena.nodeCount(), static_cast<std::size_t>(expected.files + expected.directories + 1));
    for (const DiskNode &child : arena.children(0)) {
      if (child.name == "links") {
        // The size goes to the first of the two names in identifier order.
        EXPECT_GT(arena.node(child.childIDs[0])->allocatedSize, 0);
        EXPECT_EQ(arena.node(child.childIDs[1])->allocatedSize, 0);
        EXPECT_EQ(child.fileCount, 2);
      }
      if (child.name == "spread") {
        for (const DiskNode &side : arena.children(child.id))
          EXPECT_EQ(side.allocatedSize > 0, side.name == "b") << side.name;
      }
      if (child.name == "Tool.APP") {
        EXPECT_TRUE(child.isPackage);
        EXPECT_EQ(child.fileCount, 1); // packages are still walked
      }
      if (child.name == "names") {
        std::set<std::string> names;
        for (const DiskNode &name : arena.children(child.id))
          names.insert(name.name);
        EXPECT_EQ(names, (std::set<std::string>{"new\nline", "bad\xff\xfe", std::string(255, 'n')}));
      }
    }
  }
}

TEST(FastBulkScannerTest, FinalProgressCountsEveryListedDirectory) {
  TempTree tree;
  for (const char *name : {"one/f", "two/f", "three/f"})
    tree.writeFile(name, 4096);
  std::mutex lock;
  std::vector<ScanProgress> reports;
  DiskTreeArena arena = FastBulkScanner().scan(tree.root(), [&](const ScanProgress &progress) {
    std::lock_guard guard(lock);
    reports.push_back(progress);
  });
  ASSERT_FALSE(reports.empty());
  const ScanProgress &last = reports.back();
  EXPECT_EQ(last.scannedDirectories, 4);
  EXPECT_EQ(last.scannedFiles, 3);
  EXPECT_EQ(last.accumulatedBytes, arena.rootNode()->allocatedSize);
  EXPECT_EQ(last.currentPath, tree.root());
  EXPECT_EQ(last.rootPath, tree.root());
  EXPECT_EQ(arena.rootNode()->directoryCount, 3);
}

TEST(FastBulkScannerTest, PathsDeeperThanPathMaxAreScanned) {
  TempTree tree;
  const std::string component(120, 'd');
  int depth = PATH_MAX / 121 + 5;
  int fd = ::open(tree.root().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (int i = 0; i < depth; ++i) {
    ASSERT_EQ(::mkdirat(fd, component.c_str(), 0755), 0);
    int next = ::openat(fd, component.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::close(fd);
    fd = next;
  }
  int file = ::openat(fd, "bottom", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_EQ(::write(file, std::string(9000, 'x').data(), 9000), 9000);
  ::fsync(file);
  ::close(file);
  ::close(fd);

  for (bool fileManager : {false, true}) {
    DiskTreeArena arena = FastBulkScanner(8, fileManager).scan(tree.root());
    EXPECT_EQ(arena.scanReport().unreadableFolderCount, 0) << fileManager;
    EXPECT_EQ(arena.rootNode()->directoryCount, depth) << fileManager;
    EXPECT_EQ(arena.rootNode()->fileCount, 1) << fileManager;
    EXPECT_EQ(arena.rootNode()->allocatedSize, findTotals(tree.root()).bytes) << fileManager;
    EXPECT_GT(arena.path(static_cast<NodeID>(arena.nodeCount() - 1)).size(), static_cast<std::size_t>(PATH_MAX));
  }
}

} // namespace
} // namespace tarnwick
