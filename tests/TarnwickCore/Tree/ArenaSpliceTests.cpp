// Splicing a rescan of one folder into a scanned tree, checked against a
// fresh scan of the whole tree after the same changes on disk.
#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Tree/ArenaEdit.h"
#include "TestSupport/ArenaDescription.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace tarnwick {
namespace {

using quillane::test::describeArena;
using quillane::test::TempTree;

DiskTreeArena scan(const std::string &root) { return FastBulkScanner().scan(root); }

struct SpliceCase {
  const char *title;
  const char *folder; // relative; "" for the root
  std::function<void(const TempTree &)> change;
};
void PrintTo(const SpliceCase &c, std::ostream *out) { *out << c.title; }

void removeIn(const TempTree &tree, const char *relative) { std::filesystem::remove_all(tree.path(relative)); }

class ArenaSpliceTest : public ::testing::TestWithParam<SpliceCase> {
protected:
  void SetUp() override {
    tree.writeFile("top.bin", 40'000);
    tree.writeFile("far/a/b/deep.bin", 60'000);
    tree.writeFile("other/file", 3'000);
    tree.writeFile("box/keep.txt", 10'000);
    tree.writeFile("box/old.txt", 5'000);
    tree.writeFile("box/grow.bin", 4'096);
    tree.writeFile("box/sub/inner/x", 1);
    tree.makeDirectory("box/empty");
    // Carried inside the folder; its other name lies deeper, outside.
    tree.writeFile("box/sub/carried.bin", 20'000);
    tree.makeHardLink("box/sub/carried.bin", "far/a/b/c/carried-too.bin");
    // Carried outside; its name inside carries nothing.
    tree.writeFile("linked.bin", 30'000);
    tree.makeHardLink("linked.bin", "box/sub/linked-again.bin");
  }
  TempTree tree;
};

TEST_P(ArenaSpliceTest, MatchesAFreshScanOfTheWholeTree) {
  const SpliceCase &c = GetParam();
  const DiskTreeArena before = scan(tree.root());
  c.change(tree);
  const std::string folderPath = *c.folder ? tree.path(c.folder) : tree.root();
  const std::optional<NodeID> folder = findNodeByPath(before, folderPath);
  ASSERT_TRUE(folder);
  const DiskTreeArena spliced = withSubtreeReplaced(before, *folder, scan(folderPath));
  const DiskTreeArena fresh = scan(tree.root());

  EXPECT_EQ(describeArena(spliced), describeArena(fresh));
  EXPECT_TRUE(spliced.sharedLinks() == fresh.sharedLinks());
  EXPECT_EQ(spliced.name(*findNodeByPath(spliced, folderPath)), fresh.name(*findNodeByPath(fresh, folderPath)));
}

INSTANTIATE_TEST_SUITE_P(
    Changes, ArenaSpliceTest,
    ::testing::Values(
        SpliceCase{"Nothing", "box", [](const TempTree &) {}},
        SpliceCase{"AddAFile", "box", [](const TempTree &t) { t.writeFile("box/sub/new.bin", 30'000); }},
        SpliceCase{"RemoveAFile", "box", [](const TempTree &t) { removeIn(t, "box/old.txt"); }},
        SpliceCase{"GrowAFile", "box", [](const TempTree &t) { t.writeFile("box/grow.bin", 200'000); }},
        SpliceCase{"LinkAShallowerFileOutside", "box",
                   [](const TempTree &t) { t.makeHardLink("top.bin", "box/sub/top-too.bin"); }},
        SpliceCase{"LinkADeeperFileOutside", "box",
                   [](const TempTree &t) { t.makeHardLink("far/a/b/deep.bin", "box/deep-too.bin"); }},
        SpliceCase{"RemoveTheInsideNameOfAFileCarriedInside", "box",
                   [](const TempTree &t) { removeIn(t, "box/sub/carried.bin"); }},
        SpliceCase{"RemoveTheInsideNameOfAFileCarriedOutside", "box",
                   [](const TempTree &t) { removeIn(t, "box/sub/linked-again.bin"); }},
        SpliceCase{"LinkTwoNamesInside", "box", [](const TempTree &t) { t.makeHardLink("box/keep.txt", "box/sub/k"); }},
        SpliceCase{"ANestedFolder", "box/sub",
                   [](const TempTree &t) {
                     removeIn(t, "box/sub/inner");
                     t.writeFile("box/sub/more/y", 8'000);
                   }},
        SpliceCase{"TheRoot", "", [](const TempTree &t) { t.writeFile("other/more", 9'000); }},
        SpliceCase{"EverythingAtOnce", "box",
                   [](const TempTree &t) {
                     t.writeFile("box/empty/new.bin", 30'000);
                     removeIn(t, "box/old.txt");
                     t.writeFile("box/grow.bin", 200'000);
                     t.makeHardLink("top.bin", "box/sub/top-too.bin");
                     t.makeHardLink("far/a/b/deep.bin", "box/deep-too.bin");
                     removeIn(t, "box/sub/carried.bin");
                   }}),
    [](const auto &info) { return std::string(info.param.title); });

// The arena with `report` in place of its scan's.
DiskTreeArena withReport(const DiskTreeArena &arena, ScanReport report) {
  DiskTreeArena::RecordTable records;
  for (NodeID id = 0; id < static_cast<NodeID>(arena.nodeCount()); ++id)
    records.push_back(arena.record(id));
  return DiskTreeArena(arena.rootPath(), std::move(records), arena.namePool(), std::move(report),
                       arena.sharedLinks());
}

TEST(ArenaSpliceReportTest, SwapsTheFolderUnreadablePlacesAndKeepsTheRest) {
  TempTree tree;
  tree.writeFile("box/a", 1);
  tree.writeFile("boxes/b", 1);
  auto failure = [&](const char *relative) { return Failure{"open", tree.path(relative), 13, ""}; };
  ScanReport old{.durationSeconds = 2, .unreadableFolderCount = 3,
                 .unreadablePaths = {failure("box"), failure("box/x"), failure("boxes")}};
  const DiskTreeArena before = withReport(scan(tree.root()), old);
  const DiskTreeArena rescanned = withReport(scan(tree.path("box")), {.unreadableFolderCount = 1,
                                                                     .unreadablePaths = {failure("box/y")}});
  const ScanReport report = withSubtreeReplaced(before, *findNodeByPath(before, tree.path("box")), rescanned).scanReport();
  EXPECT_EQ(report.unreadableFolderCount, 2);
  EXPECT_EQ(report.unreadablePaths, (std::vector<Failure>{failure("box/y"), failure("boxes")}));
  EXPECT_EQ(report.durationSeconds, 2);
}

TEST(ArenaSpliceReportTest, LeavesTheTreeAsItIsForAFileOrAnInvalidFolder) {
  TempTree tree;
  tree.writeFile("a/b", 1);
  const DiskTreeArena arena = scan(tree.root());
  const DiskTreeArena other = scan(tree.path("a"));
  for (NodeID folder : {*findNodeByPath(arena, tree.path("a/b")), NodeID(-1), NodeID(99)})
    EXPECT_TRUE(withSubtreeReplaced(arena, folder, other) == arena) << folder;
  EXPECT_TRUE(withSubtreeReplaced(arena, DiskTreeArena::rootID, DiskTreeArena()) == arena);
}

} // namespace
} // namespace tarnwick
