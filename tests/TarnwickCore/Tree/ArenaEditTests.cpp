// Removing subtrees from a scanned tree, checked against a fresh scan of
// the same folder after the same entries were deleted from disk.
#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Tree/ArenaEdit.h"
#include "TestSupport/ArenaDescription.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tarnwick {
namespace {

using quillane::test::describeArena;
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
  }
  TempTree tree;
};

TEST_P(ArenaRemovalTest, MatchesAFreshScanAfterTheSameDeletions) {
  const DiskTreeArena before = scan(tree.root());
  std::vector<NodeID> ids;
  for (const std::string &relative : GetParam().removed) {
    const std::optional<NodeID> id = findNodeByPath(before, tree.path(relative));
    ASSERT_TRUE(id) << relative;
    EXPECT_EQ(before.path(*id), tree.path(relative));
    ids.push_back(*id);
  }
  const DiskTreeArena edited = withoutSubtrees(before, ids);
  for (const std::string &relative : GetParam().removed)
    std::filesystem::remove_all(tree.path(relative));
  const DiskTreeArena fresh = scan(tree.root());

  EXPECT_EQ(describeArena(edited), describeArena(fresh));
  EXPECT_TRUE(edited.sharedLinks() == fresh.sharedLinks());
  for (const std::string &relative : GetParam().removed)
    EXPECT_FALSE(findNodeByPath(edited, tree.path(relative))) << relative;
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
                      RemovalCase{"EverythingButTheRoot", {"docs", "nested", "links", "shared.bin", "deep", "other", "empty"}}),
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
