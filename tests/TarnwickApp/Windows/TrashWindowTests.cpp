#include "TarnwickApp/Windows/TrashWindow.h"

#include "TarnwickApp/Windows/CacheCleanupWindow.h"
#include "TarnwickApp/Windows/MainWindow.h"
#include "TarnwickApp/Windows/ScratchHomeWindow.h"
#include "TarnwickCore/Deletion/FreedesktopTrash.h"
#include "TarnwickUI/DashboardActionBar.h"
#include "TarnwickUI/SizeloomDashboardView.h"
#include "TarnwickUI/TreemapPalette.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTreeView>

#include <filesystem>

namespace quillane {
namespace {

/// A main window on a scratch home whose Trash holds three items, one of
/// them with a name that is not UTF-8 and spans two lines.
class TrashWindowTest : public test::ScratchHomeWindow {
protected:
  void SetUp() override {
    for (const char *name : {"home/notes.txt", "home/old\nversion\xff.doc", "home/Movies/clip.mp4"}) {
      tree.writeFile(name, 200'000);
      trashed.push_back(tree.path(name));
    }
    for (const std::string &path : trashed)
      ASSERT_TRUE(homeTrash().moveToTrash(path)) << path;
    tree.writeFile("home/kept.txt", 1000);
    ScratchHomeWindow::SetUp();
    window = makeWindow([] { return tarnwick::AccessCheck{tarnwick::FullDiskAccessStatus::granted, {}}; });
    window->setTrashCatalogue(tarnwick::TrashCatalogue(homeTrash()));
  }

  std::vector<std::string> trashed;
  std::unique_ptr<MainWindow> window;
};

TEST_F(TrashWindowTest, TheMenuItemShowsTheTrashAndEmptyingItAfterYesRemovesIt) {
  window->showTrashAction()->trigger();
  auto *view = window->findChild<TrashWindow *>();
  ASSERT_TRUE(view && view->isVisible());
  ASSERT_TRUE(QTest::qWaitFor([&] { return view->controller().hasListed() && !view->controller().isBusy(); }));
  QStringList shown;
  const QAbstractItemModel &model = *view->table()->model();
  for (int row = 0; row < model.rowCount(); ++row)
    shown << model.index(row, 0).data().toString();
  for (const std::string &path : trashed)
    EXPECT_TRUE(shown.contains(tarnwick::WidgetStyle::displayText(path))) << path;
  if (model.rowCount() != int(trashed.size()))
    GTEST_SKIP() << "a mounted drive's Trash holds items: emptying would remove them too";
  EXPECT_FALSE(view->restoreButton()->isEnabled()) << "nothing selected";

  test::saveScreenshot(*view, "trash-view");

  int asked = 0;
  view->setConfirmer([&](QWidget *, const QString &) {
    ++asked;
    return true;
  });
  const std::int64_t total = view->controller().totalBytes();
  QTest::mouseClick(view->emptyButton(), Qt::LeftButton);
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(view->controller().isEmptying());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !view->controller().isBusy() && view->controller().items().empty(); }));
  EXPECT_TRUE(view->controller().lastSucceeded()) << view->statusText().toStdString();
  EXPECT_TRUE(view->statusText().contains(tarnwick::TreemapPalette::formatBytes(total))) << view->statusText().toStdString();
  EXPECT_TRUE(std::filesystem::is_empty(tree.path("data/Trash/files")));
  EXPECT_FALSE(view->emptyButton()->isEnabled());
}

TEST_F(TrashWindowTest, SmartCleanOnTrashBinsOpensTheTrashViewNotTheCacheWindow) {
  scanHome(*window);
  tarnwick::SizeloomDashboardView &dashboard = *window->rootView()->dashboard();
  dashboard.setSelectedCategory(tarnwick::CleanableCategory::trashBins);
  testing::internal::CaptureStdout(); // the category line the dashboard prints
  QTest::mouseClick(dashboard.actionBar()->smartCleanButton(), Qt::LeftButton);
  testing::internal::GetCapturedStdout();
  auto *view = window->findChild<TrashWindow *>();
  ASSERT_TRUE(view && view->isVisible());
  EXPECT_FALSE(window->findChild<CacheCleanupWindow *>());
}

} // namespace
} // namespace quillane
