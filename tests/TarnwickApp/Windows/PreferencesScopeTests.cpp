// The Scanning settings: what they save is what the next scan leaves out,
// and a new Settings window shows it again.
#include "TarnwickApp/Windows/PreferencesView.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QSettings>
#include <QStandardPaths>

namespace quillane {
namespace {

class PreferencesScopeTest : public ::testing::Test {
protected:
  // Settings of the test's own, removed afterwards.
  void SetUp() override {
    QStandardPaths::setTestModeEnabled(true);
    QSettings().remove(QStringLiteral("scan"));
  }
  void TearDown() override { QSettings().remove(QStringLiteral("scan")); }
};

TEST_F(PreferencesScopeTest, WhatTheTabSavesIsTheScopeOfTheNextScanAndShowsAgain) {
  EXPECT_EQ(PreferencesView::savedScanScope(), tarnwick::ScanScope());
  {
    PreferencesView view(nullptr);
    view.oneFileSystemBox()->setChecked(true);
    view.excludesEditor()->setPlainText(QStringLiteral("*.o\n\n  \n# a comment\nsrc/*/build\nnode_modules/"));
  }
  tarnwick::ScanScope expected;
  expected.oneFileSystem = true;
  expected.excludes = {"*.o", "src/*/build", "node_modules/"};
  EXPECT_EQ(PreferencesView::savedScanScope(), expected);

  PreferencesView reopened(nullptr);
  EXPECT_TRUE(reopened.oneFileSystemBox()->isChecked());
  EXPECT_FALSE(reopened.includeRemoteBox()->isChecked());
  reopened.includeRemoteBox()->setChecked(true);
  reopened.oneFileSystemBox()->setChecked(false);
  expected.oneFileSystem = false;
  expected.includeRemote = true;
  EXPECT_EQ(PreferencesView::savedScanScope(), expected);
}

} // namespace
} // namespace quillane
