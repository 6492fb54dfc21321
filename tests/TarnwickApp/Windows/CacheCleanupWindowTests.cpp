#include "TarnwickApp/Windows/CacheCleanupWindow.h"

#include "TarnwickApp/Windows/ScratchHomeWindow.h"
#include "TarnwickUI/TreemapPalette.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <filesystem>
#include <unistd.h>

namespace quillane {
namespace {

namespace fs = std::filesystem;
using test::TempTree;

class CacheCleanupWindowTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { tarnwick::WidgetStyle::applyDarkTheme(*qApp); }

  void SetUp() override {
    home.writeFile(".cache/huggingface/hub/models--tiny/blob", 400'000); // not ticked by default
    home.writeFile(".cache/pip/wheels/pkg.whl", 200'000);
    home.writeFile(".npm/_cacache/index", 50'000);
    auto engine = std::make_shared<tarnwick::SafeCleaningEngine>(
        home.root(), std::make_shared<tarnwick::SystemCleaningFileSystem>(
                         tarnwick::FreedesktopTrash(home.root(), home.path(".local/share"))));
    window = std::make_unique<CacheCleanupWindow>(home.root(), engine);
    window->setConfirmer([this](QWidget *, const QString &question) {
      questions << question;
      return answer;
    });
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
  std::unique_ptr<CacheCleanupWindow> window;
  QStringList questions;
  bool answer = false;
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

  const std::int64_t pipBytes = test::duBytes(home.path(".cache/pip/wheels/pkg.whl"));
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
  EXPECT_EQ(space->bytes, 0);
  EXPECT_EQ(space->linkedElsewhere, (std::map<std::string, std::int64_t>{{home.path(".cache/pip"), 1}}));
  EXPECT_TRUE(window->reportText().contains("frees no space")) << window->reportText().toStdString();
  EXPECT_TRUE(fs::exists(home.path("venv/pkg.whl")));
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

} // namespace
} // namespace quillane
