#include "TarnwickUI/TreemapTooltip.h"
#include "TarnwickUI/TreemapTiles.h"

#include <gtest/gtest.h>

#include <QLocale>

namespace tarnwick {
namespace {

TEST(TreemapTooltipTest, PlacementStaysOnTheCanvasAndContentDescribesFilesFoldersAndTheTail) {
  struct Case {
    QPointF cursor;
    QSizeF canvas;
    QPointF topLeft;
  };
  for (auto [cursor, size, topLeft] : {
           Case{{100, 100}, {1000, 600}, {118, 118}}, // room right and below
           Case{{900, 100}, {1000, 600}, {622, 118}}, // 100 from the right edge: opens to the left
           Case{{400, 550}, {1000, 600}, {418, 412}}, // near the bottom: opens upwards
           Case{{50, 50}, {200, 100}, {10, 10}},      // a tiny canvas pins it at 10, 10
       }) {
    const QPointF centre = TreemapTooltip::centreFor(cursor, size);
    EXPECT_EQ(centre - QPointF(130, 60), topLeft) << cursor.x() << "," << cursor.y();
  }

  // Its content: a file's count and a folder's drill hint are checked under the pointer.
  EXPECT_FALSE(TreemapTooltip::contentFor(tile(2, {}, false)).showsDrillHint);
  const auto folder = TreemapTooltip::contentFor(tile(1, {}, true));
  EXPECT_EQ(folder.count, QLocale().toString(1234) + " items");
  EXPECT_EQ(folder.percentage, "25.0%");
  const auto aggregated = TreemapTooltip::contentFor(tail({}));
  EXPECT_EQ(aggregated.count, "12 files");
  EXPECT_TRUE(aggregated.showsDrillHint) << "a tail opens on its own";
}

} // namespace
} // namespace tarnwick
