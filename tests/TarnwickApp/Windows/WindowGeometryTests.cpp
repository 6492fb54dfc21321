#include "TarnwickApp/Windows/WindowGeometry.h"

#include <gtest/gtest.h>

namespace quillane {
namespace {

// Free areas in device-independent pixels, as a scale factor makes them.
TEST(WindowGeometryTest, TheWindowFitsTheScreenItOpensOn) {
  struct Case {
    QSize available, minimum, initial;
  };
  for (auto [available, minimum, initial] : {
           Case{{2560, 1400}, {1040, 680}, {1280, 800}}, // room to spare: as designed
           Case{{1600, 964}, {1040, 680}, {1280, 800}},  // 1600 x 1000 less a panel
           Case{{1066, 630}, {1040, 630}, {1040, 630}},  // the same screen at 1.5: no taller than it
           Case{{800, 464}, {800, 464}, {800, 464}},     // at 2
           Case{{}, {1040, 680}, {1280, 800}},           // no screen known
       }) {
    const WindowGeometry geometry = WindowGeometry::forScreen(available);
    EXPECT_EQ(geometry.minimum, minimum) << available.width() << "x" << available.height();
    EXPECT_EQ(geometry.initial, initial) << available.width() << "x" << available.height();
  }
}

} // namespace
} // namespace quillane
