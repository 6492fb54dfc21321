// The nested view under the pointer: which tile a point means, how it is
// named, what a tail holds, and what a click on each kind of deep tile asks for.
#include "TarnwickUI/NestedTreemapScene.h"

#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Tree/ArenaEdit.h"
#include "TarnwickUI/SquarifiedTreemapLayout.h"
#include "TarnwickUI/TreemapCanvasView.h"
#include "TarnwickUI/TreemapTooltip.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <QSignalSpy>
#include <QTest>

namespace tarnwick {
namespace {

using quillane::test::TempTree;

constexpr NodeID tailID = SquarifiedTreemapLayout::syntheticTailNodeID;

class NestedTreemapSceneTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    tree = new TempTree;
    tree->writeFile("big.iso", 3'000'000);
    tree->writeFile("media/deep/clip.mp4", 1'500'000);
    tree->writeFile("media/deep/poster.png", 400'000);
    // Too small for tiles of their own at this canvas: they fold into a tail.
    for (int i = 0; i < 30; ++i)
      tree->writeFile("media/small " + std::to_string(i) + ".txt", std::size_t(4096) * (1 + i % 3));
    arena = std::make_shared<const DiskTreeArena>(FastBulkScanner(2).scan(tree->root()));
  }
  static void TearDownTestSuite() {
    arena.reset();
    delete tree;
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

  static inline TempTree *tree = nullptr;
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
