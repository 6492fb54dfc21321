#include "TarnwickUI/AppTranslations.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdlib>

// The Qt test suites run offscreen: no display is needed, widgets paint into
// memory and text renders with whatever fonts the machine has.
int main(int argc, char **argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
  QApplication application(argc, argv);
  // Settings of this process alone: suites run in parallel, and one that
  // changes a remembered setting must neither reach the user's nor another
  // suite's window meanwhile.
  const QTemporaryDir settings;
  if (!settings.isValid())
    return 1;
  for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
    QSettings::setPath(format, QSettings::UserScope, settings.path());
  // English whatever the machine's locale, plural forms included ("1 file").
  tarnwick::AppTranslations::install(QLocale(QLocale::English));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
