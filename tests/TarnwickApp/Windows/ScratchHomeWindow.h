#pragma once

#include "TarnwickApp/Windows/MainWindow.h"
#include "TarnwickUI/SizeloomDashboardView.h"
#include "TarnwickUI/TarnwickAppCoordinator.h"
#include "TarnwickUI/TreemapCanvasView.h"
#include "TarnwickUI/WidgetStyle.h"
#include "TestSupport/GatedScan.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>

namespace quillane::test {

/// Main windows over a scratch home, tree/home, whose Trash is in tree/data
/// and whose scans wait on `scan`. A suite writes its files in its
/// constructor: the engine and coordinator are made in SetUp, after them.
class ScratchHomeWindow : public ::testing::Test {
protected:
  static void SetUpTestSuite() { tarnwick::WidgetStyle::applyDarkTheme(*qApp); }

  void SetUp() override {
    engine = std::make_shared<tarnwick::SafeCleaningEngine>(
        tree.path("home"), std::make_shared<tarnwick::SystemCleaningFileSystem>(homeTrash()));
    coordinator = std::make_unique<tarnwick::TarnwickAppCoordinator>(scan.function(), engine);
  }

  tarnwick::FreedesktopTrash homeTrash() const { return {tree.path("home"), tree.path("data")}; }

  /// A shown window; the coordinator must outlive it.
  std::unique_ptr<MainWindow> makeWindow(MainWindow::StatusProbe probe = [] { return tarnwick::AccessCheck{}; }) {
    auto window = std::make_unique<MainWindow>(*coordinator, std::move(probe), QString::fromStdString(tree.path("home")),
                                               engine);
    window->show();
    return window;
  }

  /// Scans the home through `window` and waits until the tree is on show.
  void scanHome(MainWindow &window) {
    scan.open();
    window.scanHomeAction()->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.rootView()->dashboard() && !coordinator->isScanning(); }));
  }

  TempTree tree;
  GatedScan scan;
  std::shared_ptr<tarnwick::SafeCleaningEngine> engine;
  std::unique_ptr<tarnwick::TarnwickAppCoordinator> coordinator;
};

/// Saves a picture of `widget` as QUILLANE_SCREENSHOT_DIR/`name`.png, for
/// the documentation; no test reads it back.
inline void saveScreenshot(QWidget &widget, const char *name) {
  QDir().mkpath(QStringLiteral(QUILLANE_SCREENSHOT_DIR));
  widget.grab().save(QStringLiteral(QUILLANE_SCREENSHOT_DIR "/%1.png").arg(QLatin1String(name)));
}

// Hovers the tile of `name` (a child of the folder on show) and returns its menu.
inline std::unique_ptr<QMenu> menuOf(tarnwick::SizeloomDashboardView &dashboard, std::string_view name) {
  tarnwick::TreemapCanvasView &canvas = *dashboard.canvas();
  for (const tarnwick::DiskNode &child : dashboard.arena()->children(dashboard.currentNodeID()))
    if (const auto tile = child.name == name ? canvas.tileFor(child.id) : std::nullopt) {
      const QPointF at(tile->frame.x + tile->frame.width / 2, tile->frame.y + 4); // a folder's header
      QMouseEvent move(QEvent::MouseMove, at, canvas.mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
      QApplication::sendEvent(&canvas, &move);
      EXPECT_TRUE(canvas.hoveredRect() && canvas.hoveredRect()->node.name == name);
      return std::unique_ptr<QMenu>(canvas.contextMenuContent(nullptr));
    }
  ADD_FAILURE() << "no tile for " << name;
  return std::make_unique<QMenu>();
}

inline QAction *actionNamed(QMenu &menu, const char *text) {
  for (QAction *action : menu.actions())
    if (action->text() == QString::fromUtf8(text))
      return action;
  return nullptr;
}

} // namespace quillane::test
