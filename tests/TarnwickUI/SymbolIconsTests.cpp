#include "TarnwickUI/SymbolIcons.h"

#include "TarnwickCore/Catalogue/CleanableCategory.h"

#include <gtest/gtest.h>

#include <QImage>

#include <string>
#include <vector>

namespace tarnwick {
namespace {

// Every key the window asks for. The test binary runs offscreen, where there
// is no icon theme, so each of these must be answered by a bundled drawing.
std::vector<std::string> allKeys() {
  std::vector<std::string> keys{"folder", "folder.fill", "doc.fill", "doc.on.doc", "trash",
                                "arrow.down.forward.and.arrow.up.backward", "square.stack.3d.down.right.fill",
                                "square.stack.3d.up.fill", "hand.tap.fill", "chevron.left", "chevron.right",
                                "internaldrive.fill", "arrow.clockwise", "circle.grid.2x2.fill", "square.grid.2x2",
                                "folder.badge.questionmark", "sparkles", "house.fill", "macwindow.on.rectangle",
                                "folder.badge.gearshape", "lock.shield.fill", "eye.slash.fill", "quillane"};
  for (CleanableCategory category : allCleanableCategories)
    keys.emplace_back(sfSymbolName(category));
  return keys;
}

QImage pixelsOf(const QPixmap &pixmap) { return pixmap.toImage().convertToFormat(QImage::Format_ARGB32); }

// The fully opaque pixels of exactly the tint colour, and the fully
// transparent ones.
std::pair<int, int> census(const QPixmap &pixmap, const QColor &tint) {
  const QImage image = pixelsOf(pixmap);
  int tinted = 0, transparent = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor pixel = image.pixelColor(x, y);
      transparent += pixel.alpha() == 0;
      tinted += pixel.alpha() == 255 && pixel.rgb() == tint.rgb();
    }
  return {tinted, transparent};
}

TEST(SymbolIconsTest, EveryKnownKeyHasAThemeNameAndADrawingThatTakesTheTint) {
  const QColor tint(30, 160, 90);
  for (const std::string &key : allKeys()) {
    SCOPED_TRACE(key);
    EXPECT_FALSE(SymbolIcons::themeName(key).isEmpty());
    EXPECT_FALSE(SymbolIcons::icon(key).isNull());

    const QPixmap pixmap = SymbolIcons::tinted(key, 24, tint);
    ASSERT_EQ(pixmap.size(), QSize(24, 24));
    const auto [tinted, transparent] = census(pixmap, tint);
    EXPECT_GT(tinted, 8) << "a drawing, not a blank square";
    EXPECT_GT(transparent, 8) << "not a filled square";
  }
  // An unknown key has no icon and tints to nothing.
  EXPECT_TRUE(SymbolIcons::themeName("no.such.symbol").isEmpty());
  EXPECT_TRUE(SymbolIcons::icon("no.such.symbol").isNull());
  EXPECT_TRUE(SymbolIcons::icon("").isNull());
  EXPECT_EQ(census(SymbolIcons::tinted("no.such.symbol", 16, Qt::red), Qt::red).second, 16 * 16);
}

TEST(SymbolIconsTest, TintedPixmapHasDevicePixelsForItsRatio) {
  const QPixmap pixmap = SymbolIcons::tinted("folder.fill", 16, Qt::blue, 2.0);
  EXPECT_EQ(pixmap.size(), QSize(32, 32));
  EXPECT_EQ(pixmap.devicePixelRatio(), 2.0);
  EXPECT_EQ(pixmap.deviceIndependentSize(), QSizeF(16, 16));
  // The drawing fills the whole pixmap, not only its top-left quarter.
  EXPECT_GT(pixelsOf(pixmap).pixelColor(24, 24).alpha(), 0);
}

} // namespace
} // namespace tarnwick
