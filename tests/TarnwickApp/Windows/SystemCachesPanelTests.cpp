#include "TarnwickApp/Windows/CacheCleanupWindow.h"
#include "TarnwickApp/Windows/SystemCachesPanel.h"

#include "TestSupport/FakeCommandRunner.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

namespace quillane {
namespace {

using test::TempTree;

// The cache window with its system caches on a scratch /var, as a user who
// needs pkexec; only the fake runner "runs" the commands.
class SystemCachesPanelTest : public ::testing::Test {
protected:
  void SetUp() override {
    var.writeFile("cache/apt/archives/libc6_2.36-9_amd64.deb", 2'800'000);
    var.writeFile("crash/_usr_bin_gedit.1000.crash", 120'000);
    runner->installed = {"apt-get", "pkexec"};
    window = std::make_unique<CacheCleanupWindow>(home.root(), nullptr);
    panel = window->showSystemCaches([this] {
      return std::make_shared<tarnwick::SystemCacheCatalogue>(
          *runner, tarnwick::SystemCacheRoots{var.path("cache/apt/archives"), var.path("journal"), var.path("crash"),
                                              var.path("snaps")},
          false);
    });
    panel->setConfirmer([this](QWidget *, const QString &question) {
      questions << question;
      return answer;
    });
    window->open(std::nullopt);
    waitUntilIdle();
  }
  void waitUntilIdle() {
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel->controller().hasMeasured() && !panel->controller().isBusy(); }));
  }
  void select(int row) { panel->list()->setCurrentItem(panel->list()->topLevelItem(row)); }

  TempTree home;
  TempTree var;
  std::shared_ptr<test::FakeCommandRunner> runner = std::make_shared<test::FakeCommandRunner>();
  std::unique_ptr<CacheCleanupWindow> window;
  SystemCachesPanel *panel = nullptr;
  QStringList questions;
  bool answer = false;
};

TEST_F(SystemCachesPanelTest, RunsTheShownCommandOnlyWhenTheUserAgrees) {
  ASSERT_EQ(panel->list()->topLevelItemCount(), 2);
  const QString apt = QStringLiteral("/usr/bin/pkexec /usr/bin/apt-get clean");
  EXPECT_EQ(panel->list()->topLevelItem(0)->text(2), apt);
  select(1);
  EXPECT_FALSE(panel->runButton()->isEnabled()) << "crash reports have no owner's command";
  EXPECT_TRUE(panel->list()->topLevelItem(1)->text(2).startsWith(QStringLiteral("Instead: ")));

  select(0);
  ASSERT_TRUE(panel->runButton()->isEnabled());
  panel->runButton()->click();
  ASSERT_EQ(questions.size(), 1);
  EXPECT_TRUE(questions[0].contains(apt)) << questions[0].toStdString();
  EXPECT_TRUE(runner->requests.empty()) << "declined";

  answer = true;
  runner->reply(apt.toStdString(), "", 126, "Error executing command as another user: Not authorized\n");
  panel->runButton()->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return panel->controller().lastCleaning().has_value(); }));
  waitUntilIdle();
  EXPECT_EQ(runner->ranLines(), std::vector<std::string>{apt.toStdString()});
  EXPECT_TRUE(panel->statusText().contains(QStringLiteral("Not authorized"))) << panel->statusText().toStdString();

  runner->replies.clear();
  select(0);
  panel->runButton()->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return panel->controller().lastCleaning()->succeeded(); }));
  EXPECT_EQ(panel->statusText(), QStringLiteral("Ran: ") + apt);
  EXPECT_EQ(runner->requests.size(), 2u);
}

} // namespace
} // namespace quillane
