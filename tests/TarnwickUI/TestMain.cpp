#include <gtest/gtest.h>

#include <QGuiApplication>

#include <cstdlib>

// The UI tests paint offscreen: no display is needed, and text renders with
// whatever fonts the machine has.
int main(int argc, char **argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
