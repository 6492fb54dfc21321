// Removing subtrees from a scanned tree, checked against a fresh scan of
// the same folder after the same entries were deleted from disk.
#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Tree/ArenaEdit.h"
#include "TestSupport/ArenaDescription.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>

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
    tree.writeFile("docs/a.txt", 10'000);
    tree.writeFile("docs/b.txt", 1);
    tree.writeFile("nested/deeper/deepest/data.bin", 70'000);
    tree.writeFile("links/link1", 50'000);
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

TEST(ArenaEditTest, FindsOnlyExactPathsAndIgnoresTheRootAsARemoval) {
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
}

} // namespace
} // namespace tarnwick
