// The nested treemap's geometry: every tile inside the tile that holds it,
// siblings sharing their folder's inner area in proportion to their sizes,
// parents before children, and the tile budget kept.
#include "TarnwickUI/NestedTreemapLayout.h"

#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Tree/ArenaEdit.h"
#include "TarnwickUI/NestedTreemapScene.h"
#include "TarnwickUI/SquarifiedTreemapLayout.h"
#include "TarnwickUI/TreemapCanvasView.h"
#include "TarnwickUI/TreemapTooltip.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <map>

namespace tarnwick {
namespace {

using quillane::test::TempTree;

class NestedTreemapLayoutTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    tree = std::make_unique<TempTree>();
    // Three levels of folders, files of many sizes (tiny ones fold into tails).
    int n = 0;
    for (const char *folder : {"a", "a/x", "a/x/deep", "b", "b/y", "c"})
      for (int i = 0; i < 12; ++i, ++n)
        tree->writeFile(std::string(folder) + "/f" + std::to_string(i), std::size_t(4096) * (1 + (n * 7919) % 97));
    tree->writeFile("big.iso", 2'000'000);
    arena = std::make_unique<DiskTreeArena>(FastBulkScanner().scan(tree->root()));
  }
  static inline std::unique_ptr<TempTree> tree; // removed at exit
  static inline std::unique_ptr<DiskTreeArena> arena;
};

bool inside(const CanvasRect &inner, const CanvasRect &outer) {
  constexpr double slack = 1e-6;
  return inner.x >= outer.x - slack && inner.y >= outer.y - slack && inner.maxX() <= outer.maxX() + slack &&
         inner.maxY() <= outer.maxY() + slack;
}

TEST_F(NestedTreemapLayoutTest, TilesNestInsideTheirFoldersInProportionToTheirSizes) {
  const NestedTreemapLayout::Options options{.minTileArea = 30, .maxTiles = 100'000, .padding = 2, .headerHeight = 14};
  for (const CanvasSize canvas : {CanvasSize{1600, 1000}, CanvasSize{300, 900}, CanvasSize{120, 80}}) {
    const std::vector<NestedTile> tiles = NestedTreemapLayout::compute(*arena, DiskTreeArena::rootID, canvas, options);
    ASSERT_FALSE(tiles.empty());
    const auto roomOf = [&](const NestedTile &tile) {
      return tile.parentTile < 0 ? CanvasRect{0, 0, canvas.width, canvas.height}
                                 : NestedTreemapLayout::innerArea(tiles[tile.parentTile].frame, options);
    };
    std::map<std::int32_t, std::pair<double, std::int64_t>> byHolder; // area and bytes of each holder's tiles
    for (std::size_t i = 0; i < tiles.size(); ++i) {
      const NestedTile &tile = tiles[i];
      ASSERT_LT(tile.parentTile, std::int32_t(i)) << "a tile follows the tile holding it";
      EXPECT_EQ(tile.depth, tile.parentTile < 0 ? 0 : tiles[tile.parentTile].depth + 1);
      EXPECT_TRUE(inside(tile.frame, roomOf(tile))) << i;
      if (tile.id != SquarifiedTreemapLayout::syntheticTailNodeID) {
        EXPECT_EQ(arena->record(tile.id).parentID, tile.parentID);
        EXPECT_EQ(arena->record(tile.id).allocatedSize, tile.allocatedSize);
      }
      auto &[area, bytes] = byHolder[tile.parentTile];
      area += tile.frame.width * tile.frame.height;
      bytes += tile.allocatedSize;
    }
    // Each folder's tiles fill its inner area, and every tile's share of
    // that area is its share of the bytes.
    for (const NestedTile &tile : tiles) {
      const CanvasRect room = roomOf(tile);
      const auto &[area, bytes] = byHolder[tile.parentTile];
      EXPECT_NEAR(area, room.width * room.height, 1e-6 * area);
      EXPECT_NEAR(tile.frame.width * tile.frame.height / area, double(tile.allocatedSize) / double(bytes), 1e-9);
    }
    EXPECT_GE(std::ranges::max(tiles, {}, &NestedTile::depth).depth, canvas.width > 200 ? 3 : 1) << "levels nest";
  }
}

TEST_F(NestedTreemapLayoutTest, TheBudgetEndsTheLayoutWithTheShallowLevelsWhole) {
  NestedTreemapLayout::Options options;
  options.minTileArea = 1;
  const std::vector<NestedTile> all = NestedTreemapLayout::compute(*arena, DiskTreeArena::rootID, {1600, 1000}, options);
  std::size_t topLevel = 0;
  for (const NestedTile &tile : all)
    topLevel += tile.depth == 0;
  for (std::size_t budget = topLevel; budget <= all.size(); ++budget) {
    options.maxTiles = budget;
    const std::vector<NestedTile> some = NestedTreemapLayout::compute(*arena, DiskTreeArena::rootID, {1600, 1000}, options);
    EXPECT_LE(some.size(), budget);
    EXPECT_GE(some.size(), topLevel);
    // What it drew is what the unbounded layout drew first.
    EXPECT_EQ(some, std::vector(all.begin(), all.begin() + std::ptrdiff_t(some.size())));
  }
  // Past the budget at the first level, the smaller children fold into the
  // tail: the folder on show never goes blank.
  options.maxTiles = topLevel - 1;
  const std::vector<NestedTile> folded = NestedTreemapLayout::compute(*arena, DiskTreeArena::rootID, {1600, 1000}, options);
  ASSERT_EQ(folded.size(), topLevel - 1);
  std::int64_t bytes = 0;
  for (const NestedTile &tile : folded)
    bytes += tile.depth == 0 ? tile.allocatedSize : 0;
  std::int64_t children = 0;
  const DiskTreeArena::Record &root = arena->record(DiskTreeArena::rootID);
  for (NodeID id = root.firstChildID; id < root.firstChildID + NodeID(root.childCount); ++id)
    children += arena->record(id).allocatedSize;
  EXPECT_EQ(bytes, children);
  EXPECT_EQ(folded.back().id, SquarifiedTreemapLayout::syntheticTailNodeID);
  EXPECT_TRUE(NestedTreemapLayout::compute(*arena, -1, {1600, 1000}, {}).empty());
  EXPECT_TRUE(NestedTreemapLayout::compute(*arena, DiskTreeArena::rootID, {0, 1000}, {}).empty());
}

TEST_F(NestedTreemapLayoutTest, AGivenFirstLevelReplacesTheFoldersChildren) {
  // Two of the root's children, the way a filter or an opened tail asks.
  const DiskTreeArena::Record &root = arena->record(DiskTreeArena::rootID);
  const std::vector<NodeID> chosen{root.firstChildID, NodeID(root.firstChildID + 2)};
  const std::vector<NestedTile> tiles =
      NestedTreemapLayout::compute(*arena, DiskTreeArena::rootID, {800, 600}, {}, std::span(chosen));
  std::vector<NodeID> first;
  for (const NestedTile &tile : tiles)
    if (tile.depth == 0)
      first.push_back(tile.id);
  std::ranges::sort(first);
  EXPECT_EQ(first, chosen);
  EXPECT_TRUE(std::ranges::any_of(tiles, [](const NestedTile &tile) { return tile.depth > 0; }));
}

// Equal sizes keep identifier order, the order the scene's tail and the
// list follow too. Forty ties: enough that a sort on size alone reorders
// them (short runs are insertion sorted, which would hide it).
TEST(NestedTreemapLayoutOrderTest, EqualSizesKeepIdentifierOrder) {
  TempTree tree;
  for (int i = 0; i < 40; ++i)
    tree.writeFile("f" + std::to_string(i), 4096);
  const DiskTreeArena arena = FastBulkScanner().scan(tree.root());
  std::vector<NodeID> ids;
  for (const NestedTile &tile : NestedTreemapLayout::compute(arena, DiskTreeArena::rootID, {1600, 1000}, {}))
    ids.push_back(tile.id);
  ASSERT_EQ(ids.size(), 40u);
  EXPECT_TRUE(std::ranges::is_sorted(ids));
}

// The nested view under the pointer: which tile a point means, how it is
// named, what a tail holds, and what a click on each kind of deep tile asks for.
constexpr NodeID tailID = SquarifiedTreemapLayout::syntheticTailNodeID;

class NestedTreemapSceneTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    tree = std::make_unique<TempTree>();
    tree->writeFile("big.iso", 3'000'000);
    tree->writeFile("media/deep/clip.mp4", 1'500'000);
    tree->writeFile("media/deep/poster.png", 400'000);
    // Too small for tiles of their own at this canvas: they fold into a tail.
    for (int i = 0; i < 30; ++i)
      tree->writeFile("media/small " + std::to_string(i) + ".txt", std::size_t(4096) * (1 + i % 3));
    arena = std::make_shared<const DiskTreeArena>(FastBulkScanner(2).scan(tree->root()));
  }
  static NestedTreemapScene scene() {
    NestedTreemapLayout::Options options;
    options.minTileArea = 300;
    return NestedTreemapScene::build(arena, DiskTreeArena::rootID, {600, 400}, options);
  }
  static CanvasPoint centre(const CanvasRect &f) { return {f.x + f.width / 2, f.y + f.height / 2}; }
  static std::size_t tailIndex(const NestedTreemapScene &scene) {
    const auto tail = std::ranges::find(scene.tiles(), tailID, &NestedTile::id);
    EXPECT_NE(tail, scene.tiles().end());
    return std::size_t(tail - scene.tiles().begin());
  }
  // The children of the tail's folder that have tiles of their own.
  static std::vector<NodeID> tiledSiblings(const NestedTreemapScene &scene, std::size_t tail) {
    std::vector<NodeID> tiled;
    for (const NestedTile &tile : scene.tiles())
      if (tile.parentTile == scene.tiles()[tail].parentTile && tile.id != tailID)
        tiled.push_back(tile.id);
    return tiled;
  }

  static inline std::unique_ptr<TempTree> tree;
  static inline std::shared_ptr<const DiskTreeArena> arena;
};

TEST_F(NestedTreemapSceneTest, EveryFileIsFoundAtItsTileAndNamedByItsPathBelowTheFolder) {
  const NestedTreemapScene s = scene();
  std::size_t files = 0;
  for (std::size_t i = 0; i < s.tiles().size(); ++i) {
    const NestedTile &tile = s.tiles()[i];
    if (tile.isDirectory || tile.id == tailID)
      continue;
    ++files;
    EXPECT_EQ(s.tileAt(centre(tile.frame)), i) << "the deepest tile wins over the folders holding it";
    EXPECT_EQ(s.indexOf(tile.id), i);
    EXPECT_EQ(tree->root() + "/" + s.relativePath(i), arena->path(tile.id));
    EXPECT_EQ(s.describe(i).node, *arena->node(tile.id));
  }
  EXPECT_GE(files, 3u) << "clip.mp4, two levels down, has a tile";
  // A folder's header belongs to the folder, not to its contents.
  const std::size_t media = *s.indexOf(*findNodeByPath(*arena, tree->path("media")));
  const CanvasRect &frame = s.tiles()[media].frame;
  EXPECT_EQ(s.tileAt({frame.x + frame.width / 2, frame.y + 4}), media);
  EXPECT_FALSE(s.tileAt({-1, 10}));
}

TEST_F(NestedTreemapSceneTest, ATailHoldsExactlyTheChildrenWithoutATile) {
  const NestedTreemapScene s = scene();
  const std::size_t tail = tailIndex(s);
  std::vector<NodeID> members = s.tailMembers(tail);
  std::vector<NodeID> all = tiledSiblings(s, tail);
  all.insert(all.end(), members.begin(), members.end());
  std::vector<NodeID> children;
  for (const DiskNode &child : arena->children(s.tiles()[tail].parentID))
    children.push_back(child.id);
  std::ranges::sort(all);
  std::ranges::sort(children);
  EXPECT_EQ(all, children) << "tiled and tail members together, each once";
  const TreemapRect described = s.describe(tail);
  EXPECT_TRUE(described.isAggregatedTail);
  EXPECT_EQ(described.aggregatedItemCount, std::int64_t(members.size()));
  EXPECT_EQ(tree->root() + "/" + s.relativePath(tail), tree->path("media")) << "named by its folder";
  EXPECT_TRUE(s.tailMembers(0).empty());
}

TEST_F(NestedTreemapSceneTest, OnTheCanvasDeepTilesAreNamedByPathAndActedOnAndATailOpensOnItsMembers) {
  TreemapCanvasView canvas;
  canvas.resize(600, 400);
  canvas.show();
  canvas.setScene(scene());
  const NestedTreemapScene &s = canvas.scene();
  QSignalSpy select(&canvas, &TreemapCanvasView::selectNode);
  QSignalSpy drill(&canvas, &TreemapCanvasView::drillDown);
  QSignalSpy tails(&canvas, &TreemapCanvasView::openTail);
  const auto point = [&](std::size_t index) {
    const CanvasPoint at = centre(s.tiles()[index].frame);
    return QPoint(int(at.x), int(at.y));
  };

  const std::size_t clip = *s.indexOf(*findNodeByPath(*arena, tree->path("media/deep/clip.mp4")));
  QTest::mouseMove(&canvas, point(clip));
  ASSERT_TRUE(canvas.hoveredRect());
  EXPECT_EQ(canvas.hoveredRect()->id, s.tiles()[clip].id);
  EXPECT_EQ(canvas.tooltip()->content().name, QStringLiteral("media/deep/clip.mp4"));
  QTest::mouseClick(&canvas, Qt::LeftButton, {}, point(clip)); // a deep tile is acted on, not its holder
  ASSERT_EQ(select.count(), 1);
  EXPECT_EQ(select.front().front().value<DiskNode>().id, s.tiles()[clip].id);
  const std::size_t deep = s.tiles()[clip].parentTile;
  const CanvasRect &header = s.tiles()[deep].frame;
  QTest::mouseClick(&canvas, Qt::LeftButton, {}, QPoint(int(header.x + header.width / 2), int(header.y + 4)));
  ASSERT_EQ(drill.count(), 1);
  EXPECT_EQ(drill.front().front().value<NodeID>(), s.tiles()[deep].id);

  const std::size_t tail = tailIndex(s);
  QTest::mouseClick(&canvas, Qt::LeftButton, {}, point(tail));
  ASSERT_EQ(tails.count(), 1);
  EXPECT_EQ(tails.front().at(0).value<NodeID>(), s.tiles()[tail].parentID);
  EXPECT_EQ(tails.front().at(1).value<std::vector<NodeID>>(), tiledSiblings(s, tail));
}

} // namespace
} // namespace tarnwick
