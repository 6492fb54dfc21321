#include "TarnwickUI/TreemapPalette.h"

#include "TarnwickUI/DashboardActionBar.h"
#include "TarnwickUI/TreemapTooltip.h"

#include <gtest/gtest.h>

#include <QLocale>

namespace tarnwick {
namespace {

using enum CleanableCategory;

TEST(TreemapPaletteTest, FormatsSizesAtTheirBoundaries) {
  const std::pair<std::int64_t, const char *> cases[] = {
      {-5, "Zero KB"},      {0, "Zero KB"},          {1, "1 byte"},        {999, "999 bytes"},
      {1000, "1 KB"},       {12'345, "12 KB"},       {999'499, "999 KB"},  {999'999, "1.0 MB"},
      {4'700'000, "4.7 MB"}, {1'234'567'890, "1.23 GB"}, {2'500'000'000'000, "2.50 TB"},
  };
  for (auto [bytes, text] : cases)
    EXPECT_EQ(TreemapPalette::formatBytes(bytes).toStdString(), text) << bytes;
}

TEST(TreemapPaletteTest, FormatsPercentagesAndCounts) {
  EXPECT_EQ(TreemapPalette::formatPercentage(0.1234).toStdString(), "12.3%");
  EXPECT_EQ(TreemapPalette::formatPercentage(1.0).toStdString(), "100.0%");
  EXPECT_EQ(TreemapPalette::formatPercentage(-0.5).toStdString(), "0.0%");

  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  EXPECT_EQ(TreemapPalette::formatItemCount(1, true).toStdString(), "1 item");
  EXPECT_EQ(TreemapPalette::formatItemCount(1, false).toStdString(), "1 file");
  EXPECT_EQ(TreemapPalette::formatItemCount(0, false).toStdString(), "0 files");
  EXPECT_EQ(TreemapPalette::formatItemCount(12'345, true).toStdString(), "12,345 items");
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  EXPECT_EQ(TreemapPalette::formatItemCount(12'345, false).toStdString(), "12.345 files");
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
      {"/home/a/Documents", true, browserBloat, title(browserBloat), TreemapPalette::emeraldGreen()},
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
  }
}

TEST(TreemapPaletteTest, TileColourComesFromHintThenInferenceAndFadesWithDepth) {
  TreemapRect tile;
  tile.node.path = "/home/a/.Trash/old.txt";
  EXPECT_EQ(TreemapPalette::tileColor(tile, 0, true).rgb(), TreemapPalette::crimsonTrash().rgb());
  tile.node.categoryHint = browserBloat; // a hint wins over inference
  QColor hinted = TreemapPalette::tileColor(tile, 0, false);
  EXPECT_EQ(hinted.rgb(), TreemapPalette::emeraldGreen().rgb());
  EXPECT_NEAR(hinted.alphaF(), 0.85, 1e-3);
  EXPECT_NEAR(TreemapPalette::tileColor(tile, 1, false).alphaF(), 0.799, 1e-3);
  EXPECT_NEAR(TreemapPalette::tileColor(tile, 9, false).alphaF(), 0.595, 1e-3);
  EXPECT_NEAR(TreemapPalette::tileColor(tile, 9, true).alphaF(), 1.0, 1e-3);

  tile.isAggregatedTail = true; // never coloured by category
  EXPECT_EQ(TreemapPalette::tileColor(tile, 0, false), TreemapPalette::mutedCharcoal());
  EXPECT_NEAR(TreemapPalette::tileColor(tile, 0, true).alphaF(), 0.9, 1e-3);
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

} // namespace
} // namespace tarnwick
