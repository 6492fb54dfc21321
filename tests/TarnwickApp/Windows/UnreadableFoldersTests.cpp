#include "TarnwickApp/Windows/CacheCleanupWindow.h"
#include "TarnwickApp/Windows/FindWindow.h"
#include "TarnwickApp/Windows/MainWindow.h"
#include "TarnwickApp/Windows/PreferencesView.h"
#include "TarnwickApp/Windows/ScratchHomeWindow.h"
#include "TarnwickApp/Windows/TrashWindow.h"
#include "TarnwickApp/Windows/UnreadableFoldersDialog.h"
#include "TestSupport/ScopedNoDacOverride.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QSettings>
#include <QStandardPaths>
#include <QTreeWidget>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace quillane {
namespace {

using tarnwick::AccessCheck;
using tarnwick::FullDiskAccessStatus;

// The window over a scratch home, its probes answering what `access` holds.
class UnreadableFoldersTest : public test::ScratchHomeWindow {
protected:
  UnreadableFoldersTest() {
    tree.writeFile("home/notes.txt", 12'000);
    tree.writeFile("home/locked/secret.txt", 4'000);
  }
  void SetUp() override {
    ScratchHomeWindow::SetUp();
    window = makeWindow([this] { return access; });
  }
  void TearDown() override {
    std::filesystem::permissions(tree.path("home/locked"), std::filesystem::perms::owner_all);
  }
  WelcomeLauncherView &launcher() { return *window->rootView()->launcher(); }

  AccessCheck access;
  std::unique_ptr<MainWindow> window;
};

TEST_F(UnreadableFoldersTest, TheBannerCountsWhatTheProbesCannotOpenAndTheDialogListsWhy) {
  const std::string cache = tree.path("home/.cache"), logs = "/var/log/private";
  access = {FullDiskAccessStatus::denied, {{"open", cache, EACCES, {}}, {"open", logs, EPERM, {}}}};
  window->hide();
  window->show(); // shown again: the probes are asked again
  ASSERT_TRUE(launcher().isBannerVisible());
  EXPECT_TRUE(launcher().bannerText().contains(QLatin1Char('2'))) << launcher().bannerText().toStdString();
  test::saveScreenshot(*window, "launcher");

  launcher().showFoldersButton()->click();
  auto *dialog = window->findChild<UnreadableFoldersDialog *>();
  ASSERT_TRUE(dialog && dialog->isVisible());
  ASSERT_EQ(dialog->list()->topLevelItemCount(), 2);
  const QString text = dialog->text();
  for (const auto &[path, error] : {std::pair{cache, EACCES}, std::pair{logs, EPERM}})
    EXPECT_TRUE(text.contains(QString::fromStdString(path) + QLatin1Char('\t') + QString::fromUtf8(std::strerror(error))))
        << text.toStdString();

  access = {FullDiskAccessStatus::granted, {}};
  window->hide();
  window->show();
  EXPECT_FALSE(launcher().isBannerVisible());
}

TEST_F(UnreadableFoldersTest, SettingsSayWhetherEverythingIsReadableInTheCommandLinesWords) {
  for (const AccessCheck &check : {AccessCheck{FullDiskAccessStatus::granted, {}},
                                   AccessCheck{FullDiskAccessStatus::denied, {{"open", "/x", EACCES, {}}}}}) {
    access = check;
    PreferencesView *settings = window->showSettings();
    const QString words = QString::fromUtf8(tarnwick::statusWords(check.status));
    EXPECT_TRUE(settings->statusText().endsWith(words)) << settings->statusText().toStdString();
    EXPECT_GT(settings->transparencyRowCount(), 0);
  }
}

TEST_F(UnreadableFoldersTest, TheDialogListsTheFoldersTheLastScanCouldNotRead) {
  const test::ScopedNoDacOverride asAnyone; // before the scan starts its threads
  std::filesystem::permissions(tree.path("home/locked"), std::filesystem::perms::none);
  scanHome(*window);
  UnreadableFoldersDialog *dialog = window->showUnreadableFolders();
  ASSERT_EQ(dialog->list()->topLevelItemCount(), 1);
  EXPECT_TRUE(dialog->text().startsWith(QString::fromStdString(tree.path("home/locked")) + QLatin1Char('\t')))
      << dialog->text().toStdString();
}

TEST_F(UnreadableFoldersTest, AboutShowsTheProjectsVersion) {
  EXPECT_TRUE(window->showAbout()->informativeText().contains(QStringLiteral("Version " QUILLANE_VERSION)));
}

// Each secondary window closes on Escape and on the Close key (Ctrl+W).
TEST_F(UnreadableFoldersTest, EscapeAndTheCloseKeyCloseEachSecondaryWindow) {
  const std::pair<const char *, std::function<QWidget *()>> windows[] = {
      {"cache cleanup", [&] { return window->showCacheCleanup(std::nullopt); }},
      {"trash", [&] { return window->showTrash(); }},
      {"find", [&] {
         window->findWindow()->openSearch();
         return window->findWindow();
       }},
      {"settings", [&] { return window->showSettings()->window(); }},
      {"unreadable folders", [&] { return window->showUnreadableFolders(); }},
  };
  for (const auto &[name, open] : windows)
    for (const QKeySequence &keys : {QKeySequence(Qt::Key_Escape), QKeySequence(QKeySequence::Close)}) {
      QWidget *shown = open();
      shown->activateWindow();
      ASSERT_TRUE(QTest::qWaitForWindowActive(shown)) << name;
      QTest::keySequence(shown, keys);
      EXPECT_TRUE(QTest::qWaitFor([&] { return !shown->isVisible(); })) << name << " " << keys.toString().toStdString();
    }
}

// The Scanning settings: what they save is what the next scan leaves out,
// and a new Settings window shows it again.
TEST(PreferencesScopeTest, WhatTheTabSavesIsTheScopeOfTheNextScanAndShowsAgain) {
  QStandardPaths::setTestModeEnabled(true); // settings of the test's own, removed afterwards
  QSettings().remove(QStringLiteral("scan"));
  const auto removeAfterwards = qScopeGuard([] { QSettings().remove(QStringLiteral("scan")); });
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
