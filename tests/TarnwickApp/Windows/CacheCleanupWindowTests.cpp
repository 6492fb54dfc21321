#include "TarnwickApp/Windows/CacheCleanupWindow.h"

#include "TarnwickApp/Windows/CleaningReportMessage.h"
#include "TarnwickApp/Windows/ScratchHomeWindow.h"
#include "TarnwickApp/Windows/SystemCachesPanel.h"
#include "TarnwickApp/Windows/WindowTexts.h"
#include "TarnwickUI/TreemapPalette.h"
#include "TestSupport/FakeCommandRunner.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <filesystem>
#include <map>
#include <unistd.h>

namespace quillane {
namespace {

namespace fs = std::filesystem;
using tarnwick::DeletionMode;
using tarnwick::ReclaimedSpace;
using tarnwick::SafeCleaningReport;
using test::TempTree;

class CacheCleanupWindowTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { tarnwick::WidgetStyle::applyDarkTheme(*qApp); }

  void SetUp() override {
    home.writeFile(".cache/huggingface/hub/models--tiny/blob", 400'000); // not ticked by default
    home.writeFile(".cache/pip/wheels/pkg.whl", 200'000);
    home.writeFile(".npm/_cacache/index", 50'000);
    engine = std::make_shared<tarnwick::SafeCleaningEngine>(
        home.root(), std::make_shared<tarnwick::SystemCleaningFileSystem>(
                         tarnwick::FreedesktopTrash(home.root(), home.path(".local/share"))));
    window = std::make_unique<CacheCleanupWindow>(home.root(), engine);
    window->setConfirmer(confirmer);
    defaultWindow = std::make_unique<CacheCleanupWindow>(home.root(), engine); // asks with its own message box
  }
  void openAndWait(std::optional<tarnwick::CleanableCategory> category) {
    window->open(category);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->controller().isScanning() && !window->isShowingBusy(); }));
  }
  // Agrees to clean what is ticked and waits for the report.
  void cleanTicked() {
    answer = true;
    window->trashButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->reportText().isEmpty() && !window->controller().isScanning(); }));
  }
  // The list row of the item named `name`.
  QTreeWidgetItem *row(const QString &name) {
    for (int group = 0; group < window->list()->topLevelItemCount(); ++group)
      for (int i = 0; i < window->list()->topLevelItem(group)->childCount(); ++i)
        if (window->list()->topLevelItem(group)->child(i)->text(0) == name)
          return window->list()->topLevelItem(group)->child(i);
    return nullptr;
  }

  TempTree home;
  std::shared_ptr<tarnwick::SafeCleaningEngine> engine;
  std::unique_ptr<CacheCleanupWindow> window, defaultWindow;
  QStringList questions;
  bool answer = false;
  // Notes each question and gives `answer`.
  const CacheCleanupWindow::Confirmer confirmer = [this](QWidget *, const QString &question) {
    questions << question;
    return answer;
  };
};

TEST_F(CacheCleanupWindowTest, TicksTotalConfirmCleanAndReport) {
  openAndWait(std::nullopt);
  EXPECT_EQ(window->list()->topLevelItemCount(), 2) << "package caches and local AI";
  ASSERT_TRUE(row("pip User Cache (.cache/pip)") && row("npm Global Cache") && row("Hugging Face Hub Cache"));
  EXPECT_EQ(row("Hugging Face Hub Cache")->checkState(0), Qt::Unchecked);
  EXPECT_TRUE(window->totalText().startsWith("2 items ticked")) << window->totalText().toStdString();
  test::saveScreenshot(*window, "caches");

  row("npm Global Cache")->setCheckState(0, Qt::Unchecked);
  EXPECT_TRUE(window->totalText().startsWith("1 item ticked")) << window->totalText().toStdString();

  window->trashButton()->click(); // declined: nothing happens
  ASSERT_EQ(questions.size(), 1);
  EXPECT_TRUE(questions[0].startsWith("Move 1 item (")) << questions[0].toStdString();
  EXPECT_TRUE(questions[0].endsWith(") to the Trash?"));
  EXPECT_FALSE(window->controller().isCleaning());
  EXPECT_TRUE(fs::exists(home.path(".cache/pip")));

  const std::int64_t pipBytes = test::duBytes(home.path(".cache/pip"));
  cleanTicked();
  EXPECT_TRUE(window->reportText().startsWith("Moved “pip” to the Trash.")) << window->reportText().toStdString();
  ASSERT_TRUE(window->controller().lastReport()->reclaimed);
  EXPECT_EQ(window->controller().lastReport()->reclaimed->bytes, pipBytes) << "freed once the Trash is emptied";
  EXPECT_TRUE(window->reportText().contains(tarnwick::TreemapPalette::formatBytes(pipBytes)));
  EXPECT_TRUE(fs::exists(home.path(".local/share/Trash/files/pip")));
  EXPECT_TRUE(fs::exists(home.path(".npm")));
  EXPECT_EQ(row("pip User Cache (.cache/pip)"), nullptr) << "measured again after cleaning";
  ASSERT_NE(row("npm Global Cache"), nullptr);
  EXPECT_EQ(row("npm Global Cache")->checkState(0), Qt::Unchecked) << "measured again, the user's choice stays";
}

// The Trash is one more item, never ticked by default; cleaning it empties
// it first, so what the same run moves there stays.
TEST_F(CacheCleanupWindowTest, TickingTheTrashEmptiesItBeforeMovingTheOthers) {
  const tarnwick::TrashCatalogue trash(home.path(".local/share/Trash"), ::geteuid());
  home.writeFile("Documents/old.txt", 30'000);
  ASSERT_TRUE(tarnwick::FreedesktopTrash(home.root(), home.path(".local/share")).moveToTrash(home.path("Documents/old.txt")));
  if (trash.list().items.size() != 1)
    GTEST_SKIP() << "a mounted drive's Trash holds items: emptying would remove them too";
  window->controller().setTrash(trash);
  openAndWait(std::nullopt);
  QTreeWidgetItem *bin = row("Trash");
  ASSERT_NE(bin, nullptr);
  EXPECT_EQ(bin->checkState(0), Qt::Unchecked);
  bin->setCheckState(0, Qt::Checked);
  row("npm Global Cache")->setCheckState(0, Qt::Unchecked);
  cleanTicked();
  ASSERT_EQ(questions.size(), 1);
  EXPECT_TRUE(questions[0].startsWith("Empty the Trash (")) << questions[0].toStdString();
  EXPECT_TRUE(questions[0].contains("then move 1 item (")) << questions[0].toStdString();
  EXPECT_TRUE(window->reportText().contains("Emptied: ")) << window->reportText().toStdString();
  EXPECT_FALSE(fs::exists(home.path(".local/share/Trash/files/old.txt")));
  EXPECT_TRUE(fs::exists(home.path(".local/share/Trash/files/pip"))) << "moved after the emptying";
}

// The confirmation's own buttons: the confirming one is named for the
// window's action, and Return or Escape cancel.
TEST_F(CacheCleanupWindowTest, TheConfirmationNamesItsActionAndCancelsByDefault) {
  std::swap(window, defaultWindow);
  openAndWait(std::nullopt);
  QString confirmText;
  bool cancelIsDefault = false, cancelIsEscape = false, asked = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box)
      return;
    poll.stop();
    asked = true;
    for (QAbstractButton *button : box->buttons())
      if (box->buttonRole(button) == QMessageBox::AcceptRole || box->buttonRole(button) == QMessageBox::YesRole)
        confirmText = button->text();
    cancelIsDefault = box->defaultButton() == box->button(QMessageBox::Cancel);
    cancelIsEscape = box->escapeButton() == box->button(QMessageBox::Cancel);
    QTest::keyClick(box, Qt::Key_Escape);
    if (box->isVisible())
      box->reject(); // the test fails above; it must not hang here
  });
  poll.start(10);
  window->trashButton()->click();
  ASSERT_TRUE(asked);
  EXPECT_EQ(confirmText.toStdString(), window->trashButton()->text().toStdString());
  EXPECT_TRUE(cancelIsDefault);
  EXPECT_TRUE(cancelIsEscape);
  EXPECT_FALSE(window->controller().isCleaning());
  EXPECT_TRUE(fs::exists(home.path(".cache/pip")));
}

// At its default size and at its smallest, in English and in German, the
// list needs no horizontal scroll bar: every column title, size and date
// shows whole, and a description too long for its column is whole in its
// tooltip. A text too long for its line wraps.
TEST_F(CacheCleanupWindowTest, EveryTextShowsWholeAtTheDefaultAndTheSmallestSize) {
  home.writeFile("Documents/old.txt", 30'000); // the Trash's row has the longest description
  ASSERT_TRUE(tarnwick::FreedesktopTrash(home.root(), home.path(".local/share")).moveToTrash(home.path("Documents/old.txt")));
  TempTree var; // the system's caches, as the window below the others lists them
  var.writeFile("cache/apt/archives/libc6_2.36-9_amd64.deb", 2'800'000);
  test::FakeCommandRunner runner;
  runner.installed = {"apt-get"};
  const auto closeFirst = qScopeGuard([&] { window.reset(); }); // its catalogue uses the runner
  test::inEveryLanguage([&] {
    window = std::make_unique<CacheCleanupWindow>(home.root(), engine);
    window->controller().setTrash(tarnwick::TrashCatalogue(home.path(".local/share/Trash"), ::geteuid()));
    SystemCachesPanel *system = window->showSystemCaches([&] {
      return std::make_shared<tarnwick::SystemCacheCatalogue>(
          runner, tarnwick::SystemCacheRoots{var.path("cache/apt/archives"), var.path("journal"), var.path("crash"),
                                             var.path("snaps")},
          true);
    });
    openAndWait(std::nullopt);
    ASSERT_TRUE(QTest::qWaitFor([&] { return system->controller().hasMeasured() && !system->controller().isBusy(); }));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    QTreeWidget &list = *window->list();
    const QTreeWidgetItem *trash = row(QStringLiteral("Trash"));
    ASSERT_NE(trash, nullptr);
    EXPECT_EQ(trash->toolTip(1), trash->text(1));
    for (const QSize size : {window->size(), window->minimumSize()}) {
      SCOPED_TRACE(size.width());
      window->resize(size);
      QApplication::processEvents();
      EXPECT_EQ(test::cutLabels(*window), std::vector<std::string>());
      EXPECT_EQ(list.horizontalScrollBar()->maximum(), 0);
      QHeaderView &header = *list.header();
      for (int column = 0; column < header.count(); ++column) {
        EXPECT_FALSE(header.isSectionHidden(column)) << column;
        EXPECT_GE(header.sectionSize(column), header.sectionSizeHint(column)) << "the title of " << column;
        EXPECT_LE(header.sectionViewportPosition(column) + header.sectionSize(column), header.viewport()->width())
            << "column " << column << " ends in view";
      }
      const QAbstractItemView &view = list; // the tree view's own width for a column is protected
      for (const int column : {2, 3}) // size and date
        EXPECT_GE(list.columnWidth(column), view.sizeHintForColumn(column)) << "the widest value in " << column;
    }
  });
}

// How far the brightest or darkest pixel of `area` strays from its corner's.
int contrast(const QImage &image, const QRect &area) {
  const int background = qGray(image.pixel(area.topLeft()));
  int most = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      most = std::max(most, std::abs(qGray(image.pixel(x, y)) - background));
  return most;
}

TEST_F(CacheCleanupWindowTest, AnEmptyTickBoxIsDrawnAsClearlyAsATickedOne) {
  openAndWait(std::nullopt);
  QTreeWidgetItem *unticked = row("Hugging Face Hub Cache"), *ticked = row("npm Global Cache");
  ASSERT_TRUE(unticked && ticked);
  ASSERT_EQ(unticked->checkState(0), Qt::Unchecked);
  const QImage image = window->list()->viewport()->grab().toImage();
  // The box leads the name column: a square of the row's height at its start.
  auto box = [&](QTreeWidgetItem *item) {
    const QRect cell = window->list()->visualItemRect(item);
    return QRect(cell.left(), cell.top(), cell.height(), cell.height()) & image.rect();
  };
  EXPECT_GT(contrast(image, box(unticked)), 60);
  EXPECT_GT(contrast(image, box(ticked)), 60);
}

TEST_F(CacheCleanupWindowTest, ACacheWhoseFilesHaveOtherLinksFreesNothingAndSaysSo) {
  home.makeHardLink(".cache/pip/wheels/pkg.whl", "venv/pkg.whl");
  openAndWait(tarnwick::CleanableCategory::brewAndPackages);
  row("npm Global Cache")->setCheckState(0, Qt::Unchecked);
  cleanTicked();
  const auto &space = window->controller().lastReport()->reclaimed;
  ASSERT_TRUE(space);
  EXPECT_EQ(space->bytes, test::findTotals(home.path(".local/share/Trash/files/pip")).folderBytes) << "its folders' alone";
  EXPECT_EQ(space->linkedElsewhere, (std::map<std::string, std::int64_t>{{home.path(".cache/pip"), 1}}));
  EXPECT_TRUE(window->reportText().contains("frees no space")) << window->reportText().toStdString();
  EXPECT_TRUE(fs::exists(home.path("venv/pkg.whl")));
}

// A line of the report per item, even when the reason quotes a name that
// holds a line break.
TEST_F(CacheCleanupWindowTest, AReasonQuotingAnOddNameStaysOnItsLine) {
  home.writeFile(".cache/odd\nname/data", 100'000);
  const std::string frozen = test::shellQuote(home.path(".cache/odd\nname"));
  int status = 0;
  test::runCommand("chattr +i " + frozen + " 2>/dev/null", &status);
  if (status != 0)
    GTEST_SKIP() << "cannot set the immutable attribute here (needs root)";
  const auto thaw = qScopeGuard([&] { test::runCommand("chattr -i " + frozen); });
  openAndWait(std::nullopt);
  QTreeWidgetItem *odd = row("odd⏎name");
  ASSERT_NE(odd, nullptr);
  odd->setCheckState(0, Qt::Checked);
  cleanTicked();
  EXPECT_FALSE(window->reportText().contains("odd\nname")) << window->reportText().toStdString();
  EXPECT_EQ(window->reportText().count("odd⏎name"), 3) << "the summary, the path and the reason quoting it";
}

TEST_F(CacheCleanupWindowTest, ACategoryFilterLimitsWhatIsShownAndCleaned) {
  openAndWait(tarnwick::CleanableCategory::aiModelsAndLogs);
  EXPECT_EQ(window->list()->topLevelItemCount(), 1);
  EXPECT_EQ(row("npm Global Cache"), nullptr);
  EXPECT_FALSE(window->trashButton()->isEnabled()) << "the only item shown is not ticked";
  row("Hugging Face Hub Cache")->setCheckState(0, Qt::Checked);
  ASSERT_EQ(window->controller().tickedItems().size(), 1u) << "hidden ticked items are not sent";
  EXPECT_EQ(window->controller().tickedItems()[0].name, "Hugging Face Hub Cache");
}

// The window's system caches on a scratch /var, as a user who needs pkexec;
// only the fake runner "runs" the commands.
class SystemCachesPanelTest : public CacheCleanupWindowTest {};

TEST_F(SystemCachesPanelTest, RunsTheShownCommandOnlyWhenTheUserAgrees) {
  TempTree var;
  var.writeFile("cache/apt/archives/libc6_2.36-9_amd64.deb", 2'800'000);
  var.writeFile("crash/_usr_bin_gedit.1000.crash", 120'000);
  auto runner = std::make_shared<test::FakeCommandRunner>();
  runner->installed = {"apt-get", "pkexec"};
  const auto closeFirst = qScopeGuard([&] { window.reset(); }); // its catalogue uses the runner
  SystemCachesPanel *panel = window->showSystemCaches([&] {
    return std::make_shared<tarnwick::SystemCacheCatalogue>(
        *runner, tarnwick::SystemCacheRoots{var.path("cache/apt/archives"), var.path("journal"), var.path("crash"),
                                            var.path("snaps")},
        false);
  });
  panel->setConfirmer(confirmer);
  openAndWait(std::nullopt);
  const auto waitUntilIdle = [&] {
    return QTest::qWaitFor([&] { return panel->controller().hasMeasured() && !panel->controller().isBusy(); });
  };
  const auto select = [&](int row) { panel->list()->setCurrentItem(panel->list()->topLevelItem(row)); };
  ASSERT_TRUE(waitUntilIdle());
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
  ASSERT_TRUE(waitUntilIdle());
  EXPECT_EQ(runner->ranLines(), std::vector<std::string>{apt.toStdString()});
  EXPECT_TRUE(panel->statusText().contains(QStringLiteral("Not authorized"))) << panel->statusText().toStdString();

  runner->replies.clear();
  select(0);
  panel->runButton()->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return panel->controller().lastCleaning()->succeeded(); }));
  EXPECT_EQ(panel->statusText(), QStringLiteral("Ran: ") + apt);
  EXPECT_EQ(runner->requests.size(), 2u);
}

SafeCleaningReport cleaned(std::vector<std::string> paths, ReclaimedSpace space,
                           std::map<std::string, std::string> errors = {}) {
  SafeCleaningReport report;
  report.cleanedPaths = std::move(paths);
  report.reclaimed = std::move(space);
  report.errors = std::move(errors);
  return report;
}

// What a message must say and must not, for one report.
struct MessageCase {
  const char *what;
  SafeCleaningReport report;
  std::vector<QString> says;
  std::vector<QString> neverSays;
};

void expectMessage(const MessageCase &c, const CleaningReportMessage &message) {
  EXPECT_EQ(message.succeeded, c.report.errors.empty());
  for (const QString &part : c.says)
    EXPECT_TRUE(message.text.contains(part)) << message.text.toStdString() << " lacks " << part.toStdString();
  for (const QString &part : c.neverSays)
    EXPECT_FALSE(message.text.contains(part)) << message.text.toStdString() << " has " << part.toStdString();
}

// The message tells a move to the Trash (freed once it is emptied) from a
// removal (freed now), and an item kept alive by other links from one that
// frees space; a removal that partly failed says so, and is no move either.
TEST(CleaningReportMessageTest, SaysWhenTheSpaceIsFreedAndWhatOtherLinksKeep) {
  const QString size = tarnwick::TreemapPalette::formatBytes(1'200'000);
  const MessageCase cases[] = {
      {"trashed", cleaned({"/h/x"}, {DeletionMode::moveToTrash, 1'200'000, 0, {}}),
       {"“x”", "Trash", size, "emptied"}, {"no space", "link"}},
      {"removed", cleaned({"/h/x"}, {DeletionMode::permanentDelete, 1'200'000, 0, {}}),
       {"Removed “x”", size}, {"Trash", "no space"}},
      {"linked elsewhere", cleaned({"/h/x"}, {DeletionMode::moveToTrash, 0, 1, {{"/h/x", 1}}}),
       {"“x”", "frees no space", "1 other link to it remains"}, {"emptied"}},
      {"both linked elsewhere", cleaned({"/h/x", "/h/y"}, {DeletionMode::permanentDelete, 0, 4, {{"/h/x", 2}, {"/h/y", 2}}}),
       {"2 items", "free no space", "4 other links to them remain"}, {"Trash"}},
      {"one of two linked elsewhere", cleaned({"/h/x", "/h/y"}, {DeletionMode::moveToTrash, 4096, 1, {{"/h/y", 1}}}),
       {"2 items", "“y” frees no space"}, {}},
      {"some files keep links", cleaned({"/h/x"}, {DeletionMode::moveToTrash, 1'200'000, 3, {}}),
       {size, "3 other links"}, {"no space"}},
      {"a removal that partly failed",
       cleaned({"/h/x"}, {DeletionMode::permanentDelete, 4096, 0, {}}, {{"/h/y", "cannot remove /h/y: busy"}}),
       {"Removed 1 of 2"}, {"Trash"}},
      {"a failure naming a path with a line break",
       cleaned({}, {DeletionMode::permanentDelete, 0, 0, {}}, {{"/h/y\nz", "cannot remove /h/y\nz: busy"}}),
       {"y⏎z: busy"}, {"\n"}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    expectMessage(c, CleaningReportMessage::from(c.report));
  }
}

// An emptied Trash is said apart, with what it freed, and is not counted
// among the items moved there.
TEST(CleaningReportMessageTest, AnEmptiedTrashIsNoItemMovedToIt) {
  const std::string trash = "/h/.local/share/Trash";
  const QString trashFreed = tarnwick::TreemapPalette::formatBytes(5'000'000);
  const QString moved = tarnwick::TreemapPalette::formatBytes(1'200'000);
  const MessageCase cases[] = {
      {"the Trash alone", cleaned({trash}, {DeletionMode::moveToTrash, 0, 0, {}}),
       {"Emptied the Trash", trashFreed}, {"Moved", "item"}},
      {"the Trash and one item", cleaned({trash, "/h/x"}, {DeletionMode::moveToTrash, 1'200'000, 0, {}}),
       {"Emptied the Trash", trashFreed, "Moved “x” to the Trash", moved}, {"2 items"}},
      {"the Trash and a refusal", cleaned({trash}, {DeletionMode::moveToTrash, 0, 0, {}}, {{"/h/y", "no"}}),
       {"Emptied the Trash", "Could not move “y”"}, {"1 of 2"}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    SafeCleaningReport report = c.report;
    // Every case has its reclaimed space; value_or keeps -O3's flow analysis
    // from calling the copied optional maybe-uninitialized.
    report.freedBytes = 5'000'000 + c.report.reclaimed.value_or(tarnwick::ReclaimedSpace{}).bytes;
    expectMessage(c, CleaningReportMessage::from(report, trash, 5'000'000));
  }
}

} // namespace
} // namespace quillane
