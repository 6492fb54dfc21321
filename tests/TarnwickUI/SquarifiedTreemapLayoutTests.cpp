#include "TarnwickUI/SquarifiedTreemapLayout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>

namespace tarnwick {
namespace {

using Layout = SquarifiedTreemapLayout;

std::vector<DiskNode> nodesOfSizes(const std::vector<std::int64_t> &sizes) {
  std::vector<DiskNode> nodes(sizes.size());
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    nodes[i].id = static_cast<NodeID>(i + 1);
    nodes[i].parentID = 0;
    // Appended, since g++ 12 at -O2 warns falsely (-Wrestrict) about "n" + std::string.
    nodes[i].name = std::string("n").append(std::to_string(i + 1));
    nodes[i].allocatedSize = sizes[i];
    nodes[i].fileCount = 1;
  }
  return nodes;
}

std::vector<TreemapRect> layOut(const std::vector<std::int64_t> &sizes, CanvasSize canvas = {100, 100},
                                std::int64_t maxVisible = Layout::defaultMaxVisibleRects,
                                std::optional<std::int64_t> parent = std::nullopt) {
  return Layout::compute(nodesOfSizes(sizes), canvas, Layout::defaultMinPixelArea, maxVisible, parent);
}

TEST(SquarifiedTreemapLayoutTest, DegenerateInputsGiveNoTilesAndASingleChildFillsTheCanvas) {
  EXPECT_TRUE(layOut({5, 6}, {0, 100}).empty());
  EXPECT_TRUE(layOut({5, 6}, {100, -1}).empty());
  EXPECT_TRUE(layOut({}).empty());
  EXPECT_TRUE(layOut({0, 0, 0}).empty());
  EXPECT_TRUE(layOut({-5}).empty());

  auto tiles = layOut({0, 40}, {300, 200}, 120, 160);
  ASSERT_EQ(tiles.size(), 1u); // the zero-size child is left out, not tailed
  EXPECT_EQ(tiles[0].frame, (CanvasRect{0, 0, 300, 200}));
  EXPECT_DOUBLE_EQ(tiles[0].fractionOfParent, 0.25);
  EXPECT_DOUBLE_EQ(tiles[0].aspectRatio, 1.5);
  EXPECT_FALSE(tiles[0].isAggregatedTail);
}

// Worked out by hand from the row rule: a row takes the next child as long
// as that leaves its worst aspect ratio no worse (a tie joins), and lies
// along the shorter side of the space still free.
TEST(SquarifiedTreemapLayoutTest, RowsKeepTheWorstAspectRatioFromGettingWorse) {
  struct Case {
    const char *label;
    std::vector<std::int64_t> sizes; // largest first, so tile i is child i + 1
    CanvasSize canvas;
    std::vector<CanvasRect> frames;
  };
  const Case cases[] = {
      {"rows of two, of two, then single tiles", {6, 6, 4, 3, 2, 2, 1}, {6, 4},
       {{0, 0, 3, 2}, {0, 2, 3, 2}, {3, 0, 12. / 7, 7. / 3}, {33. / 7, 0, 9. / 7, 7. / 3},
        {3, 7. / 3, 1.2, 5. / 3}, {4.2, 7. / 3, 1.2, 5. / 3}, {5.4, 7. / 3, 0.6, 5. / 3}}},
      {"unequal pair, then a row across the top", {3, 2, 2, 2, 1, 1, 1}, {4, 3},
       {{0, 0, 5. / 3, 1.8}, {0, 1.8, 5. / 3, 1.2}, {5. / 3, 0, 7. / 6, 12. / 7}, {17. / 6, 0, 7. / 6, 12. / 7},
        {5. / 3, 12. / 7, 7. / 9, 9. / 7}, {22. / 9, 12. / 7, 7. / 9, 9. / 7}, {29. / 9, 12. / 7, 7. / 9, 9. / 7}}},
      {"a tie joins the row", {5, 5}, {100, 100}, {{0, 0, 100, 50}, {0, 50, 100, 50}}},
      {"quarters", {7, 7, 7, 7}, {100, 100}, {{0, 0, 50, 50}, {0, 50, 50, 50}, {50, 0, 50, 50}, {50, 50, 50, 50}}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.label);
    // No minimum area: every child gets a tile, however small.
    const auto tiles = Layout::compute(nodesOfSizes(c.sizes), c.canvas, 0, Layout::defaultMaxVisibleRects, {});
    ASSERT_EQ(tiles.size(), c.frames.size());
    for (std::size_t i = 0; i < tiles.size(); ++i) {
      SCOPED_TRACE(i);
      const CanvasRect &got = tiles[i].frame, &want = c.frames[i];
      EXPECT_EQ(tiles[i].id, static_cast<NodeID>(i + 1));
      EXPECT_NEAR(got.x, want.x, 1e-9);
      EXPECT_NEAR(got.y, want.y, 1e-9);
      EXPECT_NEAR(got.width, want.width, 1e-9);
      EXPECT_NEAR(got.height, want.height, 1e-9);
    }
  }
}

TEST(SquarifiedTreemapLayoutTest, EqualSizesKeepInputOrder) {
  // Enough ties that a sort which is not stable reorders them: 1, forty 7s, 9.
  std::vector<std::int64_t> sizes(42, 7);
  sizes.front() = 1, sizes.back() = 9;
  std::vector<NodeID> expected(42), ids;
  std::iota(expected.begin(), expected.end(), 1); // 42 first, then 2 to 41 in order, then 1
  expected.front() = 42, expected.back() = 1;
  for (const TreemapRect &tile : layOut(sizes))
    ids.push_back(tile.id);
  EXPECT_EQ(ids, expected);
}

TEST(SquarifiedTreemapLayoutTest, TailCollectsSmallAndSurplusChildren) {
  struct Case {
    const char *label;
    std::vector<std::int64_t> sizes;
    std::int64_t maxVisible;
    std::size_t tiles;
    std::int64_t tailCount; // 0: no tail
  };
  const auto many = [](std::size_t count, std::int64_t size, std::vector<std::int64_t> then = {}) {
    std::vector<std::int64_t> sizes(count, size);
    sizes.insert(sizes.end(), then.begin(), then.end());
    return sizes;
  };
  const Case cases[] = {
      {"budget of 120", many(200, 1000), 120, 120, 81},
      {"small ones only", many(10, 1'000'000, {1, 1, 1, 1, 1}), 120, 11, 5}, // each far below 4 square points
      {"one small pushes the 120th out", many(120, 1'000'000, {1}), 120, 120, 2},
      {"no budget", {5, 6, 7}, 0, 1, 3},
      {"budget of one, two children", {5, 6}, 1, 1, 2},
      {"budget of one, one child", {5}, 1, 1, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.label);
    auto tiles = layOut(c.sizes, {100, 100}, c.maxVisible);
    ASSERT_EQ(tiles.size(), c.tiles);
    const auto tail = std::ranges::find_if(tiles, &TreemapRect::isAggregatedTail);
    ASSERT_EQ(tail != tiles.end(), c.tailCount > 0);
    if (tail == tiles.end())
      continue;
    EXPECT_EQ(tail->id, Layout::syntheticTailNodeID);
    EXPECT_EQ(tail->aggregatedItemCount, c.tailCount);
    EXPECT_EQ(tail->node.name, "Smaller Items (" + std::to_string(c.tailCount) + " files)");
    EXPECT_EQ(tail->node.parentID, 0);
  }
}

// Random children on random canvases: the invariants every layout must keep.
TEST(SquarifiedTreemapLayoutTest, RandomLayoutsTileTheCanvasProportionally) {
  std::mt19937_64 random(7);
  for (int round = 0; round < 500; ++round) {
    SCOPED_TRACE(round);
    std::size_t count = 1 + random() % 400;
    std::vector<std::int64_t> sizes(count);
    for (auto &size : sizes) // heavy-tailed, with zeros and ties
      size = random() % 7 == 0 ? 0 : static_cast<std::int64_t>(std::pow(10.0, (random() % 900) / 100.0));
    CanvasSize canvas{1.0 + random() % 1600, 1.0 + random() % 1000};
    std::int64_t maxVisible = static_cast<std::int64_t>(random() % 150);
    auto tiles = layOut(sizes, canvas, maxVisible);

    std::int64_t total = 0, positive = 0;
    for (auto size : sizes)
      if (size > 0)
        total += size, ++positive;
    if (total == 0) {
      EXPECT_TRUE(tiles.empty());
      continue;
    }
    ASSERT_LE(static_cast<std::int64_t>(tiles.size()), std::max<std::int64_t>(1, maxVisible));
    const double canvasArea = canvas.width * canvas.height, tolerance = 1e-6 * canvasArea;
    double areaSum = 0, fractionSum = 0;
    std::int64_t covered = 0, sizeSum = 0;
    for (std::size_t i = 0; i < tiles.size(); ++i) {
      const CanvasRect &f = tiles[i].frame;
      EXPECT_GE(f.x, -1e-9);
      EXPECT_GE(f.y, -1e-9);
      EXPECT_LE(f.maxX(), canvas.width + 1e-9);
      EXPECT_LE(f.maxY(), canvas.height + 1e-9);
      double area = f.width * f.height;
      EXPECT_NEAR(area, static_cast<double>(tiles[i].node.allocatedSize) / total * canvasArea, tolerance);
      if (i > 0) {
        EXPECT_LE(area, tiles[i - 1].frame.width * tiles[i - 1].frame.height + tolerance);
      }
      for (std::size_t j = 0; j < i; ++j) {
        const CanvasRect &g = tiles[j].frame;
        double overlapW = std::min(f.maxX(), g.maxX()) - std::max(f.x, g.x);
        double overlapH = std::min(f.maxY(), g.maxY()) - std::max(f.y, g.y);
        EXPECT_FALSE(overlapW > 1e-6 && overlapH > 1e-6) << "tiles " << j << " and " << i << " overlap";
      }
      areaSum += area;
      fractionSum += tiles[i].fractionOfParent;
      covered += tiles[i].aggregatedItemCount;
      sizeSum += tiles[i].node.allocatedSize;
    }
    EXPECT_NEAR(areaSum, canvasArea, tolerance);
    EXPECT_NEAR(fractionSum, 1.0, 1e-9);
    EXPECT_EQ(covered, positive); // every positive child is a tile or in the tail
    EXPECT_EQ(sizeSum, total);
  }
}

TEST(SquarifiedTreemapLayoutTest, HitTestOwnsSharedEdgesAndFarEdges) {
  auto tiles = layOut({7, 7, 7, 7}); // 50 x 50 quarters of a 100 x 100 canvas
  auto hit = [&](double x, double y) {
    auto index = Layout::hitTestIndex({x, y}, tiles);
    return index ? tiles[*index].frame : CanvasRect{-1, -1, 0, 0};
  };
  EXPECT_EQ(hit(50, 10).x, 50);   // a shared vertical edge belongs to the right tile
  EXPECT_EQ(hit(10, 50).y, 50);   // a shared horizontal edge to the lower tile
  EXPECT_EQ(hit(100, 100).x, 50); // the canvas's far corner still hits
  EXPECT_EQ(hit(100, 100).y, 50);
  EXPECT_FALSE(Layout::hitTest({100.5, 10}, tiles));
  EXPECT_FALSE(Layout::hitTest({-0.1, 10}, tiles));
  EXPECT_EQ(Layout::hitTest({25, 25}, tiles)->id, tiles[*Layout::hitTestIndex({25, 25}, tiles)].id);
}

} // namespace
} // namespace tarnwick
