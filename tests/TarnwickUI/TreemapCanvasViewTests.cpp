#include "TarnwickUI/TreemapCanvasView.h"

#include "TarnwickUI/ContextMenuKey.h"
#include "TarnwickUI/TreemapTiles.h"
#include "TarnwickUI/TreemapTooltip.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace tarnwick {
namespace {

// A folder on the left half, a file top right, the tail bottom right.
class TreemapCanvasViewTest : public ::testing::Test {
protected:
  void SetUp() override {
    canvas.resize(400, 200);
    canvas.setRects({tile(1, {0, 0, 200, 200}, true), tile(2, {200, 0, 200, 100}, false), tail({200, 100, 200, 100})});
    canvas.show();
  }
  // Opens the menu of the tile at `at` as a right click (or the menu key,
  // or Shift+F10 when `shiftF10`) does, runs `whileOpen` on it, closes it,
  // and returns every entry it offered.
  QStringList openMenu(QPoint at, const std::function<void(QMenu &)> &whileOpen = {},
                       QContextMenuEvent::Reason reason = QContextMenuEvent::Mouse, bool shiftF10 = false) {
    QStringList offered;
    bool opened = false;
    QTimer::singleShot(0, [&] {
      auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
      opened = true;
      ASSERT_TRUE(menu);
      for (QAction *action : menu->actions())
        offered << action->text();
      if (whileOpen)
        whileOpen(*menu);
      menu->close();
    });
    QContextMenuEvent event(reason, at, canvas.mapToGlobal(at));
    if (shiftF10)
      QTest::keyClick(&canvas, Qt::Key_F10, Qt::ShiftModifier);
    else
      QCoreApplication::sendEvent(&canvas, &event);
    EXPECT_TRUE(QTest::qWaitFor([&] { return opened && !QApplication::activePopupWidget(); }));
    return offered;
  }

  TreemapCanvasView canvas;
};

TEST_F(TreemapCanvasViewTest, ClicksDrillIntoFoldersAndSelectEverythingElse) {
  QSignalSpy drill(&canvas, &TreemapCanvasView::drillDown);
  QSignalSpy select(&canvas, &TreemapCanvasView::selectNode);
  QSignalSpy tail(&canvas, &TreemapCanvasView::openTail);
  struct Case {
    QPoint at;
    int drills, selects, tails;
  };
  for (auto [at, drills, selects, tails] : {Case{{100, 100}, 1, 0, 0},   // folder
                                            Case{{300, 50}, 1, 1, 0},    // file
                                            Case{{300, 150}, 1, 1, 1},   // the tail opens
                                            Case{{200, 50}, 1, 2, 1}}) { // the gap between inset frames hits by frame
    QTest::mouseClick(&canvas, Qt::LeftButton, {}, at);
    EXPECT_EQ(std::tuple(drill.count(), select.count(), tail.count()), std::tuple(drills, selects, tails))
        << at.x() << "," << at.y();
  }
  EXPECT_EQ(drill.front().front().value<NodeID>(), 1);
  EXPECT_EQ(select.back().front().value<DiskNode>().id, 2);
  // The tail's view leaves out exactly what already has a tile.
  EXPECT_EQ(tail.front().at(1).value<std::vector<NodeID>>(), (std::vector<NodeID>{1, 2}));

  canvas.setRects({});
  QTest::mouseClick(&canvas, Qt::LeftButton, {}, {100, 100});
  QTest::mouseMove(&canvas, {100, 100});
  EXPECT_EQ(drill.count(), 1);
  EXPECT_FALSE(canvas.hoveredRect());
  EXPECT_TRUE(std::unique_ptr<QMenu>(canvas.contextMenuContent(nullptr))->isEmpty());
}

// From the keyboard, with the selection fed back as the dashboard does.
TEST_F(TreemapCanvasViewTest, TheKeyboardMovesBetweenTilesAndActsOnTheOneItRestsOn) {
  QObject::connect(&canvas, &TreemapCanvasView::selectionMoved, &canvas, &TreemapCanvasView::setSelectedNodeID);
  QSignalSpy drill(&canvas, &TreemapCanvasView::drillDown);
  QSignalSpy tail(&canvas, &TreemapCanvasView::openTail);
  QSignalSpy trash(&canvas, &TreemapCanvasView::moveToTrash);
  canvas.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&canvas));
  canvas.setFocus(Qt::MouseFocusReason);
  ASSERT_TRUE(canvas.hasFocus());
  EXPECT_FALSE(canvas.showsFocusRing()) << "not for a click";
  struct Step {
    int key;
    std::optional<NodeID> selected;
    int drills, tails, trashed;
  };
  for (auto [key, selected, drills, tails, trashed] :
       {Step{Qt::Key_Down, 1, 0, 0, 0},               // nothing selected: the first tile
        Step{Qt::Key_Left, 1, 0, 0, 0},               // at the edge: stays
        Step{Qt::Key_Right, 2, 0, 0, 0},              // the file beside it
        Step{Qt::Key_Delete, 2, 0, 0, 1},             // asks to trash the file
        Step{Qt::Key_Down, std::nullopt, 0, 0, 1},    // the tail: no node to select
        Step{Qt::Key_Return, std::nullopt, 0, 1, 1},  // opens it
        Step{Qt::Key_Delete, std::nullopt, 0, 1, 1},  // a tail is not a path
        Step{Qt::Key_Left, 1, 0, 1, 1},               // back to the folder
        Step{Qt::Key_Enter, 1, 1, 1, 1},              // enters it
        Step{Qt::Key_Escape, std::nullopt, 1, 1, 1}}) {
    QTest::keyClick(&canvas, Qt::Key(key));
    EXPECT_EQ(std::tuple(canvas.selectedNodeID(), drill.count(), tail.count(), trash.count()),
              std::tuple(selected, drills, tails, trashed))
        << QKeySequence(key).toString().toStdString();
  }
  EXPECT_EQ(trash.front().front().value<DiskNode>().id, 2);
  EXPECT_TRUE(canvas.showsFocusRing()) << "once the keyboard is in use";

  // The menu key opens the keyboard tile's menu, wherever the pointer is.
  QTest::mouseMove(&canvas, {100, 100}); // over the folder
  QTest::keyClick(&canvas, Qt::Key_Right);
  ASSERT_EQ(canvas.selectedNodeID(), 1);
  QTest::keyClick(&canvas, Qt::Key_Right);
  // Shift+F10 is the same key where the application listens for it.
  ContextMenuKey menuKey;
  qApp->installEventFilter(&menuKey);
  for (const bool shiftF10 : {false, true}) {
    SCOPED_TRACE(shiftF10 ? "Shift+F10" : "menu key");
    const QStringList entries = openMenu({200, 100}, [&](QMenu &menu) {
      EXPECT_EQ(menu.pos(), canvas.mapToGlobal(QPoint(300, 50))) << "opened over the file";
    }, QContextMenuEvent::Keyboard, shiftF10);
    EXPECT_TRUE(entries.contains("Move to Trash")) << entries.join(", ").toStdString();
    EXPECT_FALSE(entries.contains("Drill Down")) << "the file's menu, not the folder's under the pointer";
  }
  qApp->removeEventFilter(&menuKey);
}

TEST_F(TreemapCanvasViewTest, AssistiveTechnologySeesEachTileAndFollowsTheKeyboard) {
  QObject::connect(&canvas, &TreemapCanvasView::selectionMoved, &canvas, &TreemapCanvasView::setSelectedNodeID);
  QAccessibleInterface *map = QAccessible::queryAccessibleInterface(&canvas);
  ASSERT_TRUE(map);
  EXPECT_EQ(map->role(), QAccessible::List);
  ASSERT_EQ(map->childCount(), 3);
  QAccessibleInterface *file = map->child(1);
  EXPECT_EQ(file->text(QAccessible::Name), "node2");
  EXPECT_TRUE(file->text(QAccessible::Description).contains("25.0%")) << file->text(QAccessible::Description).toStdString();
  EXPECT_TRUE(map->child(2)->text(QAccessible::Name).contains("smaller items"));
  EXPECT_EQ(map->indexOfChild(file), 1);
  EXPECT_EQ(map->child(1), file) << "one interface per tile";
  EXPECT_EQ(map->childAt(canvas.mapToGlobal(QPoint(300, 50)).x(), canvas.mapToGlobal(QPoint(300, 50)).y()), file);
  EXPECT_EQ(file->rect(), QRect(canvas.mapToGlobal(QPoint(200, 0)), QSize(200, 100)));

  // Focus and selection follow the keyboard. (Their change events reach
  // only a live accessibility bridge, which the offscreen platform lacks.)
  canvas.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&canvas));
  canvas.setFocus();
  QTest::keyClick(&canvas, Qt::Key_Down); // the first tile, the folder
  QTest::keyClick(&canvas, Qt::Key_Right);
  EXPECT_TRUE(file->state().selected);
  EXPECT_TRUE(file->state().focused);
  EXPECT_FALSE(map->child(0)->state().selected);
  EXPECT_EQ(map->focusChild(), file);
  QTest::keyClick(&canvas, Qt::Key_Down); // the tail: focused, not selected
  EXPECT_EQ(map->focusChild(), map->child(2));
  EXPECT_FALSE(map->child(2)->state().selected);

  canvas.setRects({tile(7, {0, 0, 400, 200}, false)});
  EXPECT_EQ(map->childCount(), 1);
  EXPECT_EQ(map->child(0)->text(QAccessible::Name), "node7") << "new tiles, new items";
}

TEST_F(TreemapCanvasViewTest, HoverFollowsThePointerAndTheLayoutAndLeavingClearsIt) {
  QTest::mouseMove(&canvas, {50, 50});
  ASSERT_TRUE(canvas.hoveredRect());
  EXPECT_EQ(canvas.hoveredRect()->id, 1);
  EXPECT_TRUE(canvas.tooltip()->isPresenting());
  QTest::mouseMove(&canvas, {300, 40});
  EXPECT_EQ(canvas.hoveredRect()->id, 2);
  EXPECT_EQ(canvas.tooltip()->content().count, "1 file");

  std::vector<TreemapRect> moved = canvas.rects(); // the same tile laid out again, for another node path
  moved[1].node.path = "/data/renamed";
  canvas.setRects(moved);
  EXPECT_EQ(canvas.hoveredRect()->node.path, "/data/renamed") << "actions must use the tile as it is now";

  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(&canvas, &leave);
  EXPECT_FALSE(canvas.hoveredRect());
  EXPECT_FALSE(canvas.isHoverActive());
  EXPECT_FALSE(canvas.tooltip()->isPresenting());

  // A new layout is hit-tested again under the still pointer: entering the
  // folder lays out its children where it was.
  QObject::connect(&canvas, &TreemapCanvasView::drillDown, &canvas, [this] {
    canvas.setRects({tile(5, {0, 0, 400, 100}, false), tile(6, {0, 100, 400, 100}, true)});
  });
  QTest::mouseMove(&canvas, {100, 150});
  QTest::mouseClick(&canvas, Qt::LeftButton, {}, {100, 150});
  ASSERT_TRUE(canvas.hoveredRect());
  EXPECT_EQ(canvas.hoveredRect()->id, 6);
  EXPECT_EQ(canvas.tooltip()->content().name, "node6");
  EXPECT_TRUE(canvas.tooltip()->content().showsDrillHint);

  canvas.setRects({tile(7, {0, 0, 50, 50}, false)}); // nothing under the pointer now
  EXPECT_FALSE(canvas.hoveredRect());
  EXPECT_FALSE(canvas.tooltip()->isPresenting());
}

TEST_F(TreemapCanvasViewTest, TheTooltipHidesUnderAMenuOrAMessage) {
  // Moves sent straight to the canvas: as under X11, where a menu's pointer
  // grab brings the canvas no Leave, unlike the offscreen platform.
  auto pointAt = [this](QPointF at) {
    QMouseEvent move(QEvent::MouseMove, at, canvas.mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&canvas, &move);
  };
  pointAt({300, 50});
  ASSERT_TRUE(canvas.tooltip()->isPresenting());
  bool presentingUnderMenu = true;
  openMenu({300, 50}, [&](QMenu &) { presentingUnderMenu = canvas.tooltip()->isPresenting(); });
  EXPECT_FALSE(presentingUnderMenu);
  pointAt({301, 50});
  EXPECT_TRUE(canvas.tooltip()->isPresenting()) << "back once the pointer moves again";

  QMessageBox message(QMessageBox::Information, "Note", "A message over the canvas.", QMessageBox::Ok, &canvas);
  message.open();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !canvas.tooltip()->isPresenting(); }));
  canvas.setRects(canvas.rects()); // laid out again under the open message
  EXPECT_FALSE(canvas.tooltip()->isPresenting()) << "not while the message is open";
  message.close();
}

TEST_F(TreemapCanvasViewTest, ContextMenuOffersWhatTheTileAllowsAndReachesItsTarget) {
  QSignalSpy drill(&canvas, &TreemapCanvasView::drillDown);
  QSignalSpy trash(&canvas, &TreemapCanvasView::moveToTrash);
  QGuiApplication::clipboard()->setText("before");
  // Picks `title` from the menu of the tile at `at`, as the user would.
  auto choose = [&](QPoint at, const QString &title) {
    QTest::mouseMove(&canvas, at);
    return openMenu(at, [&](QMenu &menu) {
      for (QAction *action : menu.actions())
        if (action->text() == title)
          action->trigger();
    });
  };
  QSignalSpy selected(&canvas, &TreemapCanvasView::selectionMoved);
  EXPECT_FALSE(choose({300, 150}, "Copy File Path").contains("Drill Down")) << "the tail cannot be entered";
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "before") << "the tail has no path";
  EXPECT_EQ(selected.count(), 0) << "a tail is not selected";
  choose({100, 100}, "Drill Down");
  ASSERT_EQ(selected.count(), 1) << "the menu's tile becomes the selection";
  EXPECT_EQ(selected.front().front().value<std::optional<NodeID>>(), NodeID{1});
  ASSERT_EQ(drill.count(), 1);
  EXPECT_EQ(drill.front().front().value<NodeID>(), 1);
  choose({300, 50}, "Copy File Path");
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "/data/node2");
  choose({300, 50}, "Move to Trash");
  ASSERT_EQ(trash.count(), 1);
  EXPECT_EQ(trash.front().front().value<DiskNode>().path, "/data/node2");
}

TEST_F(TreemapCanvasViewTest, TheMenuKeyWithNoTileChosenOpensOnlyWhereThePointerRests) {
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(&canvas, &leave);
  QContextMenuEvent key(QContextMenuEvent::Keyboard, {200, 100}, canvas.mapToGlobal(QPoint(200, 100)));
  QCoreApplication::sendEvent(&canvas, &key);
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "a menu for the tile in the middle, which nobody chose";
  QTest::mouseMove(&canvas, {310, 60}); // over the file (a move: the last test may have left the pointer there)
  const QStringList entries = openMenu({200, 100}, {}, QContextMenuEvent::Keyboard);
  EXPECT_TRUE(entries.contains("Move to Trash") && !entries.contains("Drill Down"))
      << "the file's menu, under the pointer: " << entries.join(", ").toStdString();
}

TEST_F(TreemapCanvasViewTest, RendersTheSameAtDevicePixelRatioOneAndTwo) {
  canvas.setSelectedNodeID(2);
  for (qreal ratio : {1.0, 2.0}) {
    QImage image(canvas.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::black);
    canvas.render(&image);
    const QColor fill = image.pixelColor(QPoint(100, 150) * ratio);  // inside the folder tile
    const QColor outline = image.pixelColor(QPoint(300, 1) * ratio); // on the selected tile's top edge
    EXPECT_GT(fill.blue() + fill.red() + fill.green(), 100) << "ratio " << ratio;
    EXPECT_GT(outline.green(), 150) << "ratio " << ratio;
    EXPECT_GT(outline.blue(), 150) << "ratio " << ratio;
    EXPECT_LT(outline.red(), 120) << "the selection outline is cyan; ratio " << ratio;
  }
}

} // namespace
} // namespace tarnwick
