// Moving to the Trash from the main window, and the Trash window it opens.
#include "TarnwickApp/Windows/MainWindowFixture.h"

#include "TarnwickApp/Windows/ReportToast.h"
#include "TarnwickApp/Windows/TrashWindow.h"
#include "TarnwickApp/Windows/WindowTexts.h"
#include "TarnwickCore/Tree/ArenaEdit.h"
#include "TarnwickUI/DashboardActionBar.h"
#include "TarnwickUI/TreemapPalette.h"

#include <gtest/gtest.h>

#include <QMenu>
#include <QPushButton>
#include <QTreeView>

#include <filesystem>

namespace quillane {
namespace {

TEST_F(MainWindowTest, MoveToTrashReportsTheOutcomeAndTheUndoKeyBringsItBack) {
  coordinator->setTrashCatalogue(std::make_shared<const tarnwick::TrashCatalogue>(homeTrash()));
  tarnwick::SizeloomDashboardView &dashboard = explore();
  dashboard.setSelectedNodeID(tarnwick::findNodeByPath(*dashboard.arena(), tree.path("home/notes.txt")));
  QTest::mouseClick(dashboard.actionBar()->trashButton(), Qt::LeftButton);

  ReportToast &toast = *root().reportToast();
  ASSERT_TRUE(QTest::qWaitFor([&] { return toast.isVisible(); }));
  EXPECT_TRUE(toast.text().startsWith(QStringLiteral("Moved “notes.txt” to the Trash. "))) << toast.text().toStdString();
  EXPECT_FALSE(toast.isShowingFailure());
  EXPECT_TRUE(std::filesystem::exists(tree.path("data/Trash/files/notes.txt")));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !tarnwick::findNodeByPath(*coordinator->arena(), tree.path("home/notes.txt")); }));

  ASSERT_TRUE(toast.offersAction());
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  QTest::keySequence(window.get(), QKeySequence::Undo);
  ASSERT_TRUE(QTest::qWaitFor([&] { return toast.text().startsWith(QStringLiteral("Restored")); })) << toast.text().toStdString();
  EXPECT_TRUE(std::filesystem::exists(tree.path("home/notes.txt")));
  EXPECT_FALSE(std::filesystem::exists(tree.path("data/Trash/files/notes.txt")));
  EXPECT_TRUE(QTest::qWaitFor([&] { return tarnwick::findNodeByPath(*coordinator->arena(), tree.path("home/notes.txt")).has_value(); }))
      << "the tree shows it again";
  EXPECT_FALSE(toast.offersAction()) << "undone once";

  // The scan root itself is the home folder here: the guard refuses it, and says so.
  emit dashboard.moveToTrash(*coordinator->arena()->rootNode());
  ASSERT_TRUE(QTest::qWaitFor([&] { return toast.isShowingFailure(); }));
  EXPECT_TRUE(toast.text().startsWith(QStringLiteral("Deletion rejected"))) << toast.text().toStdString();
  EXPECT_TRUE(std::filesystem::exists(tree.path("home")));
}

// What the guard would refuse is greyed out, with its reason, before it is
// chosen: the personal folder itself here, unlike a file beside it.
TEST_F(MainWindowTest, MoveToTrashIsGreyedOutWhereTheGuardWouldRefuseIt) {
  tarnwick::SizeloomDashboardView &dashboard = explore();
  for (const auto &[name, refused] : {std::pair{"Movies", true}, std::pair{"notes.txt", false}}) {
    SCOPED_TRACE(name);
    dashboard.setSelectedNodeID(tarnwick::findNodeByPath(*dashboard.arena(), tree.path("home/") + name));
    const QPushButton *button = dashboard.actionBar()->trashButton();
    EXPECT_EQ(button->isEnabled(), !refused);
    EXPECT_EQ(button->toolTip().startsWith(QStringLiteral("Deletion rejected")), refused) << button->toolTip().toStdString();
    const std::unique_ptr<QMenu> menu = test::menuOf(dashboard, name);
    const QAction *trash = test::actionNamed(*menu, "Move to Trash");
    ASSERT_TRUE(trash);
    EXPECT_EQ(trash->isEnabled(), !refused);
    if (refused) {
      EXPECT_EQ(trash->toolTip(), button->toolTip());
    }
  }
}

// A restore from the Trash window shows the item again, as an undo does.
TEST_F(MainWindowTest, RestoringFromTheTrashWindowShowsTheItemAgain) {
  tarnwick::SizeloomDashboardView &dashboard = explore();
  window->setTrashCatalogue(tarnwick::TrashCatalogue(homeTrash())); // the engine's, as the application sets it
  const std::string notes = tree.path("home/notes.txt");
  emit dashboard.moveToTrash(*coordinator->arena()->node(*tarnwick::findNodeByPath(*coordinator->arena(), notes)));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !tarnwick::findNodeByPath(*coordinator->arena(), notes); }));
  tarnwick::TrashController &trash = window->showTrash()->controller();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !trash.isBusy() && !trash.items().empty(); }));
  const auto listed = std::ranges::find(trash.items(), notes, &tarnwick::TrashedItem::originalPath);
  ASSERT_NE(listed, trash.items().end());
  trash.restore({static_cast<std::size_t>(listed - trash.items().begin())});
  EXPECT_TRUE(QTest::qWaitFor([&] { return tarnwick::findNodeByPath(*coordinator->arena(), notes).has_value(); }));
}

// Its names need not be UTF-8 nor of one line.
TEST_F(MainWindowTest, TheMenuItemShowsTheTrashAndEmptyingItAfterYesRemovesIt) {
  std::vector<std::string> trashed;
  for (const char *name : {"home/notes.txt", "home/old\nversion\xff.doc", "home/Movies/clip.mp4"}) {
    tree.writeFile(name, 200'000);
    trashed.push_back(tree.path(name));
    ASSERT_TRUE(homeTrash().moveToTrash(trashed.back())) << name;
  }
  window = makeWindow();
  window->setTrashCatalogue(tarnwick::TrashCatalogue(homeTrash()));
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
  view->setConfirmer([&](QWidget *, const QString &) { return ++asked > 0; });
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

// Its texts show whole at its default size and at its smallest, in English
// and in German: a line longer than the window is wide wraps.
TEST_F(MainWindowTest, TheTrashWindowsTextsShowWholeAtTheDefaultAndTheSmallestSize) {
  tree.writeFile("home/notes.txt", 20'000);
  ASSERT_TRUE(homeTrash().moveToTrash(tree.path("home/notes.txt")));
  test::inEveryLanguage([&] {
    TrashWindow view(tarnwick::TrashCatalogue{homeTrash()});
    view.open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.controller().hasListed() && !view.controller().isBusy(); }));
    for (const QSize size : {view.size(), view.minimumSize()}) {
      SCOPED_TRACE(size.width());
      view.resize(size);
      QApplication::processEvents();
      EXPECT_EQ(test::cutLabels(view), std::vector<std::string>());
    }
  });
}

} // namespace
} // namespace quillane
