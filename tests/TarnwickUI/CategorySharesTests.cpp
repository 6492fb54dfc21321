#include "TarnwickUI/CategoryShares.h"

#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Tree/ArenaEdit.h"
#include "TarnwickUI/DashboardSidebar.h"
#include "TarnwickUI/StorageGauge.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include <sys/stat.h>

namespace tarnwick {
namespace {

using Group = CategoryShares::Group;
using quillane::test::duBytes;
using quillane::test::TempTree;

std::int64_t ownBlocks(const std::string &path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 ? std::int64_t(st.st_blocks) * 512 : -1;
}

class CategorySharesTest : public ::testing::Test {
protected:
  void SetUp() override {
    tree.writeFile("Videos/clip.mp4", 40'000);            // inferred: creator media
    tree.writeFile("src/main.cpp", 12'000);               // inferred: developer
    tree.writeFile(".cache/pip/wheels/pkg.whl", 20'000);  // hinted: package cache
    tree.writeFile("Documents/letter.txt", 3000);         // nothing describes it
  }
  TempTree tree;
};

TEST_F(CategorySharesTest, EachNodesOwnBytesGoToTheGroupOfItsCategory) {
  const DiskTreeArena arena = FastBulkScanner(2).scan(tree.root());
  const std::optional<CategoryShares> shares = CategoryShares::measure(arena);
  ASSERT_TRUE(shares);
  const struct {
    Group group;
    std::int64_t bytes;
  } cases[] = {
      {Group::media, ownBlocks(tree.path("Videos/clip.mp4"))},
      {Group::developer, ownBlocks(tree.path("src/main.cpp")) + duBytes(tree.path(".cache/pip"))},
      {Group::caches, ownBlocks(tree.path(".cache"))},
      {Group::other, ownBlocks(tree.root()) + ownBlocks(tree.path("Videos")) + ownBlocks(tree.path("src")) +
                         duBytes(tree.path("Documents"))},
      {Group::trash, 0},
  };
  for (const auto &c : cases)
    EXPECT_EQ(shares->bytes(c.group), c.bytes) << CategoryShares::title(c.group).toStdString();
  EXPECT_EQ(shares->total(), arena.rootNode()->allocatedSize);

  EXPECT_EQ(CategoryShares::measure(DiskTreeArena()), CategoryShares()) << "no tree, no bytes";
  std::stop_source stopped;
  stopped.request_stop();
  EXPECT_FALSE(CategoryShares::measure(arena, stopped.get_token()));
}

// After a removal or a folder rescan they are what measuring the derived tree gives.
TEST_F(CategorySharesTest, AfterARemovalOrAFolderRescanTheyAreWhatMeasuringTheDerivedTreeGives) {
  // A media file also linked under Documents: removing Videos moves its
  // bytes from Media to Other, removing the other name moves nothing.
  tree.makeHardLink("Videos/clip.mp4", "Documents/old/clip-copy.mp4");
  tree.writeFile("src/lib.cpp", 16'000);
  tree.makeHardLink("src/lib.cpp", "Documents/x/y/lib-copy.txt");
  tree.writeFile("Documents/deep/er/note.txt", 24'000);
  const DiskTreeArena arena = FastBulkScanner(2).scan(tree.root());
  const CategoryShares before = *CategoryShares::measure(arena);
  const std::vector<std::vector<std::string>> removals = {
      {"Videos"}, {"Documents/old/clip-copy.mp4"}, {"src", "src/main.cpp", ".cache/pip"}, {"Videos", "Documents"}};
  for (const std::vector<std::string> &removal : removals) {
    std::vector<NodeID> ids;
    for (const std::string &relative : removal)
      ids.push_back(findNodeByPath(arena, tree.path(relative)).value_or(-1));
    EXPECT_EQ(before.withoutSubtrees(arena, ids), *CategoryShares::measure(withoutSubtrees(arena, ids)))
        << removal.front();
  }

  // A rescan of src: bytes move between groups with the name that carries
  // them, away from src when its carrier goes, into src when a shallower
  // name comes.
  std::filesystem::remove(tree.path("src/lib.cpp"));
  tree.makeHardLink("Documents/deep/er/note.txt", "src/note.cpp");
  tree.writeFile("src/more.cpp", 30'000);
  const NodeID folder = *findNodeByPath(arena, tree.path("src"));
  const DiskTreeArena spliced = withSubtreeReplaced(arena, folder, FastBulkScanner(2).scan(tree.path("src")));
  const CategoryShares after = *CategoryShares::measure(spliced);
  EXPECT_EQ(before.withSubtreeReplaced(arena, folder, spliced, *findNodeByPath(spliced, tree.path("src"))), after);
  EXPECT_NE(after.bytes(Group::other) - before.bytes(Group::other), 0) << "the case moves bytes between groups";
}

TEST_F(CategorySharesTest, TheGaugeShowsTheMeasuredSharesAndAnEmptyFolderAnEmptyBar) {
  DashboardSidebar sidebar;
  const StorageGauge &gauge = *sidebar.gauge();
  sidebar.setCategoryShares(*CategoryShares::measure(FastBulkScanner(2).scan(tree.root())));
  ASSERT_EQ(gauge.segments().size(), 4u);
  double sum = 0;
  for (const StorageGauge::Segment &segment : gauge.segments())
    sum += segment.share;
  EXPECT_NEAR(sum, 1.0, 1e-9);
  EXPECT_TRUE(std::is_sorted(gauge.segments().begin(), gauge.segments().end() - 1,
                             [](const auto &a, const auto &b) { return a.share > b.share; }))
      << "largest first";
  EXPECT_FALSE(gauge.segments().back().filled) << "what no category describes is the bare track, last";

  tree.makeDirectory("empty");
  sidebar.setCategoryShares(*CategoryShares::measure(FastBulkScanner(2).scan(tree.path("empty"))));
  ASSERT_EQ(gauge.segments().size(), 1u) << "the folder's own blocks, described by nothing";
  EXPECT_FALSE(gauge.segments()[0].filled);
  sidebar.setCategoryShares(CategoryShares());
  EXPECT_TRUE(gauge.segments().empty());
}

} // namespace
} // namespace tarnwick
