// Removing subtrees from a scanned tree, and splicing a rescan of one folder
// into it, each checked against a fresh scan after the same changes on disk.
#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Tree/ArenaEdit.h"
#include "TarnwickCore/Tree/ArenaRecordEditor.h"
#include "TestSupport/ArenaDescription.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <functional>

namespace tarnwick {
namespace {

using quillane::test::describeArena;
using quillane::test::describeLinks;
using quillane::test::TempTree;

DiskTreeArena scan(const std::string &root) { return FastBulkScanner().scan(root); }

struct RemovalCase {
  const char *title;
  std::vector<std::string> removed; // relative paths, in the order given
};
void PrintTo(const RemovalCase &c, std::ostream *out) { *out << c.title; }

class ArenaRemovalTest : public ::testing::TestWithParam<RemovalCase> {
protected:
  void SetUp() override {
    for (const auto &[file, bytes] : {std::pair{"docs/a.txt", 10'000}, {"docs/b.txt", 1},
                                      {"nested/deeper/deepest/data.bin", 70'000}, {"links/link1", 50'000}})
      tree.writeFile(file, bytes);
    tree.makeHardLink("links/link1", "links/link2");
    // Carried by the shallow name; its deep name stays a 0-byte node.
    tree.writeFile("shared.bin", 30'000);
    tree.makeHardLink("shared.bin", "nested/deeper/shared-again.bin");
    // Carried inside "deep"; the other name is deeper still, elsewhere.
    tree.writeFile("deep/carrier.bin", 20'000);
    tree.makeHardLink("deep/carrier.bin", "other/x/y/second.bin");
    tree.makeDirectory("empty");
    // Enough siblings to span chunks of the table, so removals move records
    // across a chunk boundary.
    for (int i = 0; i < 1500; ++i)
      tree.writeFile("wide/f" + std::to_string(10000 + i), i % 3 == 0 ? 4096 : 0);
  }
  TempTree tree;
};

TEST_P(ArenaRemovalTest, MatchesAFreshScanAfterTheSameDeletions) {
  const DiskTreeArena before = scan(tree.root());
  const std::vector<std::string> beforeLines = describeArena(before);
  std::vector<NodeID> ids;
  for (const std::string &relative : GetParam().removed) {
    const std::optional<NodeID> id = findNodeByPath(before, tree.path(relative));
    ASSERT_TRUE(id) << relative;
    EXPECT_EQ(before.path(*id), tree.path(relative));
    ids.push_back(*id);
  }
  const DiskTreeArena edited = withoutSubtrees(before, ids);
  // The same removals one at a time, each from the tree the last one left.
  DiskTreeArena stepwise = before;
  for (const std::string &relative : GetParam().removed)
    if (const std::optional<NodeID> id = findNodeByPath(stepwise, tree.path(relative)))
      stepwise = withoutSubtrees(stepwise, std::array{*id});
  for (const std::string &relative : GetParam().removed)
    std::filesystem::remove_all(tree.path(relative));
  const DiskTreeArena fresh = scan(tree.root());

  EXPECT_EQ(describeArena(edited, false), describeArena(fresh, false));
  EXPECT_EQ(describeLinks(edited), describeLinks(fresh));
  for (const std::string &relative : GetParam().removed)
    EXPECT_FALSE(findNodeByPath(edited, tree.path(relative))) << relative;
  // The removed nodes stay in the table but name nothing any more.
  std::size_t valid = 0;
  for (NodeID id = 0; id < NodeID(edited.nodeCount()); ++id)
    valid += edited.isValid(id);
  EXPECT_EQ(valid, fresh.nodeCount());
  EXPECT_EQ(describeArena(stepwise, false), describeArena(fresh, false));
  EXPECT_EQ(describeLinks(stepwise), describeLinks(fresh));
  // A splice numbers the removed nodes' places away, as a scan would.
  EXPECT_EQ(describeArena(withSubtreeReplaced(edited, DiskTreeArena::rootID, fresh)), describeArena(fresh));
  // The original is untouched: the edit copied what it changed.
  EXPECT_EQ(describeArena(before), beforeLines);
}

INSTANTIATE_TEST_SUITE_P(
    Removals, ArenaRemovalTest,
    ::testing::Values(RemovalCase{"OneFile", {"docs/a.txt"}}, RemovalCase{"AFolder", {"docs"}},
                      RemovalCase{"ADeepFolder", {"nested/deeper"}}, RemovalCase{"AnEmptyFolder", {"empty"}},
                      RemovalCase{"TheCarrierOfALinkedFile", {"shared.bin"}},
                      RemovalCase{"AFolderHoldingTheCarrier", {"deep"}},
                      RemovalCase{"ANameThatCarriesNothing", {"nested"}},
                      RemovalCase{"EveryNameOfAFile", {"links/link1", "links/link2"}},
                      RemovalCase{"NestedAndRepeated", {"other/x", "other", "docs/b.txt", "other"}},
                      RemovalCase{"SeveralAmongManySiblings", {"wide/f11498", "wide/f10001", "wide/f10700", "docs"}},
                      RemovalCase{"EverythingButTheRoot", {"docs", "nested", "links", "shared.bin", "deep", "other", "empty", "wide"}}),
    [](const auto &info) { return std::string(info.param.title); });

TEST(ArenaEditTest, FindsOnlyExactPathsAndIgnoresEditsThatNameNoSubtree) {
  TempTree tree;
  tree.writeFile("a/b", 1);
  const DiskTreeArena arena = scan(tree.root());
  EXPECT_EQ(findNodeByPath(arena, tree.root()), DiskTreeArena::rootID);
  EXPECT_TRUE(findNodeByPath(arena, tree.path("a/b")));
  for (const std::string &missing : {tree.path("a/c"), tree.path("a/b/"), tree.path("a//b"), tree.root() + "x",
                                     tree.path("a/b/c"), std::string("relative/a")})
    EXPECT_FALSE(findNodeByPath(arena, missing)) << missing;
  const NodeID invalid[] = {DiskTreeArena::rootID, -1, 99};
  EXPECT_TRUE(withoutSubtrees(arena, invalid) == arena);
  // Nor is a file, an invalid folder or an empty tree spliced in.
  const DiskTreeArena other = scan(tree.path("a"));
  for (NodeID folder : {*findNodeByPath(arena, tree.path("a/b")), NodeID(-1), NodeID(99)})
    EXPECT_TRUE(withSubtreeReplaced(arena, folder, other) == arena) << folder;
  EXPECT_TRUE(withSubtreeReplaced(arena, DiskTreeArena::rootID, DiskTreeArena()) == arena);
}

// Splicing a rescan of one folder into a scanned tree, checked against a
// fresh scan of the whole tree after the same changes on disk.
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
    for (const auto &[file, bytes] : {std::pair{"top.bin", 40'000}, {"far/a/b/deep.bin", 60'000}, {"other/file", 3'000},
                                      {"box/keep.txt", 10'000}, {"box/old.txt", 5'000}, {"box/grow.bin", 4'096},
                                      {"box/sub/inner/x", 1}})
      tree.writeFile(file, bytes);
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
  return ArenaRecordEditor(arena).finish(std::move(report), arena.sharedLinks());
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

} // namespace
} // namespace tarnwick
