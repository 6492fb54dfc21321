#include "TarnwickUI/TreemapPalette.h"

#include "TarnwickUI/DashboardActionBar.h"
#include "TarnwickUI/SquarifiedTreemapLayout.h"
#include "TarnwickUI/TreemapTilePainter.h"
#include "TarnwickUI/TreemapTooltip.h"
#include "TarnwickUI/WidgetStyle.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QLocale>
#include <QPainter>

namespace tarnwick {
namespace {

using enum CleanableCategory;

TEST(TreemapPaletteTest, FormatsSizesAtTheirBoundariesPercentagesAndCounts) {
  const std::pair<std::int64_t, const char *> cases[] = {
      {-5, "Zero KB"},      {0, "Zero KB"},          {1, "1 byte"},        {999, "999 bytes"},
      {1000, "1 KB"},       {12'345, "12 KB"},       {999'499, "999 KB"},  {999'999, "1.0 MB"},
      {4'700'000, "4.7 MB"}, {1'234'567'890, "1.23 GB"}, {2'500'000'000'000, "2.50 TB"},
  };
  for (auto [bytes, text] : cases)
    EXPECT_EQ(TreemapPalette::formatBytes(bytes).toStdString(), text) << bytes;
  for (auto [fraction, text] : {std::pair{0.1234, "12.3%"}, {1.0, "100.0%"}, {-0.5, "0.0%"}})
    EXPECT_EQ(TreemapPalette::formatPercentage(fraction).toStdString(), text) << fraction;

  // Singular and plural are the translation tests'; the grouping is the locale's.
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  EXPECT_EQ(TreemapPalette::formatItemCount(0, false).toStdString(), "0 files");
  EXPECT_EQ(TreemapPalette::formatItemCount(12'345, true).toStdString(), "12,345 items");
  QLocale::setDefault(QLocale::c());
}

TEST(TreemapPaletteTest, InferenceRulesApplyInOrder) {
  const std::pair<const char *, std::optional<CleanableCategory>> cases[] = {
      {"/Users/a/Library/Developer/Xcode/DerivedData/X", xcodeJunk},
      {"/Users/a/Documents/Archives/tax.pdf", xcodeJunk},
      {"/home/a/src/main.CPP", xcodeJunk},
      {"/home/a/footage/clip.RAW", dockerAndVMs}, // rule 7 before rule 9
      {"/home/a/footage/clip.mov", creatorCaches},
      {"/home/a/.Trash/old.txt", trashBins},
      {"/home/a/.Trash/setup.dmg", largeAndOldFiles}, // rule 15 before rule 16
      {"/var/logs/app.txt", systemJunk},
      {"/srv/models/llama.gguf", aiModelsAndLogs},
      {"/home/a/.cache/mozilla/firefox/x", browserBloat},
      {"/home/a/notes.v2/readme", std::nullopt}, // a dot in a folder is no extension
      {"/home/a/Documents", std::nullopt},
      {"", std::nullopt},
  };
  for (auto [path, category] : cases)
    EXPECT_EQ(TreemapPalette::inferCategory(path), category) << path;
}

// Where no hint or rule describes a node, it is a folder or a file, in the
// colour the map always gave it.
TEST(TreemapPaletteTest, WhatNothingDescribesIsNamedFolderOrFileNotACategory) {
  const auto title = [](CleanableCategory category) { return QString::fromUtf8(rawValue(category).data()); };
  const struct {
    const char *path;
    bool isDirectory;
    std::optional<CleanableCategory> hint;
    QString kind;
    QColor colour;
  } cases[] = {
      {"/home/a/Documents", true, std::nullopt, "Folder", TreemapPalette::sapphireBlue()},
      {"/home/a/notes.txt", false, std::nullopt, "File", TreemapPalette::sapphireBlue()},
      {"/home/a/src/main.cpp", false, std::nullopt, title(xcodeJunk), TreemapPalette::electricIndigo()},
      {"/home/a/src/main.cpp", false, browserBloat, title(browserBloat), TreemapPalette::emeraldGreen()}, // hint first
  };
  DashboardActionBar bar;
  for (const auto &c : cases) {
    SCOPED_TRACE(c.path);
    TreemapRect tile;
    tile.node.name = "x";
    tile.node.path = c.path;
    tile.node.isDirectory = c.isDirectory;
    tile.node.categoryHint = c.hint;
    EXPECT_EQ(TreemapTooltip::contentFor(tile).categoryLabel, c.kind);
    bar.setSubject(tile.node, true);
    EXPECT_EQ(bar.subjectKind(), c.kind);
    EXPECT_EQ(TreemapPalette::tileColor(tile, 0, true).rgb(), c.colour.rgb());
    tile.isAggregatedTail = true;
    EXPECT_EQ(TreemapPalette::tileColor(tile, 0, false), TreemapPalette::mutedCharcoal()) << "never by category";
  }
}

// Labels read on every fill they are drawn on: each category's colour and
// the tail's, at every depth the nested view darkens them to, and the
// lighter and darker ends of the range.
TEST(TreemapPaletteTest, LabelsMeetTheContrastForBodyTextOnEveryFill) {
  std::vector<QColor> fills{TreemapPalette::mutedCharcoal(), QColor(Qt::white), QColor(Qt::black), QColor(118, 118, 118)};
  for (CleanableCategory category : allCleanableCategories)
    for (double depth : {0.0, 0.1, 0.2, 0.3}) {
      const QColor c = TreemapPalette::color(category);
      fills.push_back(QColor::fromRgbF(float(c.redF() * (1 - depth)), float(c.greenF() * (1 - depth)),
                                       float(c.blueF() * (1 - depth))));
    }
  for (const QColor &fill : fills)
    EXPECT_GE(TreemapPalette::contrastRatio(TreemapPalette::labelColor(fill), fill), 4.5) << fill.name().toStdString();
  EXPECT_NEAR(TreemapPalette::contrastRatio(Qt::white, Qt::black), 21.0, 1e-9);
  EXPECT_EQ(TreemapPalette::labelColor(TreemapPalette::warmAmber()), QColor(Qt::black)) << "white on amber is 2.5:1";
}

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

// Whether `actual` is `expected` drawn at `opacity` over the black background.
void expectNear(QColor actual, QColor expected, const char *where, double opacity = 1.0) {
  EXPECT_NEAR(actual.red(), expected.red() * opacity, 3) << where;
  EXPECT_NEAR(actual.green(), expected.green() * opacity, 3) << where;
  EXPECT_NEAR(actual.blue(), expected.blue() * opacity, 3) << where;
}

TEST(TreemapTilePainterTest, FillsOutlinesAndLeavesCornersInThePaletteColours) {
  auto tiles = twoTiles();
  ASSERT_EQ(tiles.size(), 2u);
  ASSERT_EQ(tiles[1].frame.x, 300);
  QImage plain = render(tiles, std::nullopt, std::nullopt);
  // Away from the labels, each tile shows its fill at 0.85 over the canvas.
  expectNear(plain.pixelColor(250, 180), TreemapPalette::crimsonTrash(), "hinted tile", 0.85);
  expectNear(plain.pixelColor(350, 180), TreemapPalette::sapphireBlue(), "inferred tile", 0.85);
  expectNear(plain.pixelColor(0, 0), Qt::black, "rounded corner");

  QImage marked = render(tiles, NodeID{2}, NodeID{2}); // selected wins over hovered
  expectNear(marked.pixelColor(301, 100), Qt::cyan, "selection outline");
  expectNear(marked.pixelColor(350, 180), TreemapPalette::sapphireBlue(), "hovered fill is opaque");
  QImage hovered = render(tiles, NodeID{1}, std::nullopt);
  expectNear(hovered.pixelColor(1, 100), Qt::white, "hover outline");
}

TEST(TreemapTilePainterTest, LabelsAppearOnlyWhereThereIsRoomAndStayInTheirTile) {
  // Count pixels far from the fill inside a lone tile of each size, clear
  // of its edges: text is the only thing drawn there.
  auto inkPixels = [](double width, double height, std::string name = "Documents") {
    TreemapRect tile;
    tile.id = tile.node.id = 1;
    tile.node.name = std::move(name);
    tile.node.allocatedSize = 1;
    tile.frame = {0, 0, width, height};
    tile.insetFrame = tile.frame.insetBy(1);
    const QImage image = render({tile}, std::nullopt, std::nullopt);
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
  EXPECT_EQ(inkPixels(60, 40, "WWWWWWWWWWWW"), 0);  // room for too few of its letters

  // The 300-point tile on the left, under names far wider than it: labels
  // stay in their tile, and long names keep both ends.
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

TEST(WidgetStyleTest, NamesShowOnOneLineWithTheirControlCharactersVisible) {
  EXPECT_EQ(WidgetStyle::displayText("new\nline\r\tend\x1b\x7f"), QString::fromUtf8("new\u23CEline\u23CE\uFFFDend\uFFFD\uFFFD"));
  const QString undecodable = WidgetStyle::displayText("old\nversion\xff.doc");
  EXPECT_TRUE(undecodable.startsWith(QString::fromUtf8("old\u23CEversion"))) << undecodable.toStdString();
}

} // namespace
} // namespace tarnwick
