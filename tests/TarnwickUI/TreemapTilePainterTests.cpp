#include "TarnwickUI/SquarifiedTreemapLayout.h"
#include "TarnwickUI/TreemapPalette.h"
#include "TarnwickUI/TreemapTilePainter.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

namespace tarnwick {
namespace {

// Two tiles on a 400 x 200 canvas: 300 x 200 on the left, 100 x 200 right.
std::vector<TreemapRect> twoTiles() {
  std::vector<DiskNode> nodes(2);
  for (int i = 0; i < 2; ++i) {
    nodes[i].id = i + 1;
    nodes[i].name = i == 0 ? "big" : "small";
    nodes[i].allocatedSize = i == 0 ? 3000 : 1000;
  }
  nodes[0].categoryHint = CleanableCategory::trashBins;
  return SquarifiedTreemapLayout::compute(nodes, {400, 200}, 4, 120, std::nullopt);
}

QImage render(const std::vector<TreemapRect> &tiles, std::optional<NodeID> hovered, std::optional<NodeID> selected) {
  QImage image(400, 200, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::black);
  QPainter painter(&image);
  TreemapTilePainter::paint(painter, tiles, hovered, selected);
  painter.end();
  return image;
}

void expectNear(QColor actual, QColor expected, const char *where) {
  EXPECT_NEAR(actual.red(), expected.red(), 3) << where;
  EXPECT_NEAR(actual.green(), expected.green(), 3) << where;
  EXPECT_NEAR(actual.blue(), expected.blue(), 3) << where;
}

// `colour` at `opacity` over the black background.
QColor overBlack(QColor colour, double opacity) {
  return QColor::fromRgbF(float(colour.redF() * opacity), float(colour.greenF() * opacity),
                          float(colour.blueF() * opacity));
}

TEST(TreemapTilePainterTest, FillsOutlinesAndLeavesCornersInThePaletteColours) {
  auto tiles = twoTiles();
  ASSERT_EQ(tiles.size(), 2u);
  ASSERT_EQ(tiles[1].frame.x, 300);
  QImage plain = render(tiles, std::nullopt, std::nullopt);
  // Away from the labels, each tile shows its fill at 0.85 over the canvas.
  expectNear(plain.pixelColor(250, 180), overBlack(TreemapPalette::crimsonTrash(), 0.85), "hinted tile");
  expectNear(plain.pixelColor(350, 180), overBlack(TreemapPalette::sapphireBlue(), 0.85), "inferred tile");
  expectNear(plain.pixelColor(0, 0), Qt::black, "rounded corner");

  QImage marked = render(tiles, NodeID{2}, NodeID{2}); // selected wins over hovered
  expectNear(marked.pixelColor(301, 100), Qt::cyan, "selection outline");
  expectNear(marked.pixelColor(350, 180), TreemapPalette::sapphireBlue(), "hovered fill is opaque");
  QImage hovered = render(tiles, NodeID{1}, std::nullopt);
  expectNear(hovered.pixelColor(1, 100), Qt::white, "hover outline");
}

TEST(TreemapTilePainterTest, LabelsAppearOnlyWhereThereIsRoom) {
  // Count pixels far from the fill inside a lone tile of each size, clear
  // of its edges: text is the only thing drawn there.
  auto inkPixels = [](double width, double height) {
    DiskNode node;
    node.id = 1;
    node.name = "Documents";
    node.allocatedSize = 1;
    TreemapRect tile;
    tile.node = node;
    tile.id = 1;
    tile.frame = {0, 0, width, height};
    tile.insetFrame = tile.frame.insetBy(1);
    QImage image(200, 100, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    QPainter painter(&image);
    std::vector<TreemapRect> one{tile};
    TreemapTilePainter::paint(painter, one);
    painter.end();
    const int fill = qGray(image.pixel(4, 4));
    int ink = 0;
    for (int y = 3; y < static_cast<int>(height) - 3; ++y)
      for (int x = 3; x < static_cast<int>(width) - 3; ++x)
        ink += std::abs(qGray(image.pixel(x, y)) - fill) > 80;
    return ink;
  };
  EXPECT_EQ(inkPixels(50, 60), 0);  // too narrow for a name
  EXPECT_GT(inkPixels(60, 40), 0);  // the name alone
  EXPECT_GT(inkPixels(100, 60), inkPixels(60, 40)); // name and size
}

TEST(TreemapTilePainterTest, LabelsStayInTheirTileAndLongNamesKeepBothEnds) {
  // The 300-point tile on the left, under names far wider than it.
  auto renderNamed = [](const std::string &name) {
    std::vector<TreemapRect> tiles = twoTiles();
    tiles[0].node.name = name;
    return render(tiles, std::nullopt, std::nullopt);
  };
  const std::string middle(80, 'm');
  const QImage unnamed = renderNamed("");
  const QImage one = renderNamed("head-" + middle + "-one"), two = renderNamed("head-" + middle + "-two");
  const QRect neighbour(300, 0, 100, 200), own(0, 0, 300, 200);
  EXPECT_EQ(one.copy(neighbour), unnamed.copy(neighbour)) << "nothing drawn over the next tile";
  EXPECT_NE(one.copy(own), two.copy(own)) << "the end of the name is shown";
}

} // namespace
} // namespace tarnwick
