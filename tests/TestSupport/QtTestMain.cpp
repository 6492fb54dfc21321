#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>

// The Qt test suites run offscreen: no display is needed, widgets paint into
// memory and text renders with whatever fonts the machine has.
int main(int argc, char **argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
