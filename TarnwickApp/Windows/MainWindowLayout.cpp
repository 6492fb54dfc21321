// The main window's look and place on screen: the appearance menu and the
// layout remembered between sessions.
#include "TarnwickApp/Windows/MainWindow.h"

#include "TarnwickUI/AppearanceController.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QDataStream>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QSettings>

#include <algorithm>

namespace quillane {

void MainWindow::buildAppearanceMenu(QMenu *menu) {
  using tarnwick::AppearanceController;
  auto *choices = new QActionGroup(this);
  choices->setExclusive(true);
  const std::pair<AppearanceController::Appearance, QString> entries[] = {
      {AppearanceController::Appearance::system, tr("System")},
      {AppearanceController::Appearance::light, tr("Light")},
      {AppearanceController::Appearance::dark, tr("Dark")}};
  AppearanceController &controller = AppearanceController::instance();
  for (const auto &entry : entries) {
    const AppearanceController::Appearance appearance = entry.first;
    QAction *action = menu->addAction(entry.second);
    action->setCheckable(true);
    action->setChecked(controller.appearance() == appearance);
    choices->addAction(action);
    appearanceActions_.push_back(action);
    connect(action, &QAction::triggered, &controller, [appearance] {
      AppearanceController::instance().setAppearance(appearance);
    });
  }
  // Another window's menu may change it too.
  connect(&controller, &AppearanceController::appearanceChanged, this,
          [this](AppearanceController::Appearance appearance) { appearanceActions_[int(appearance)]->setChecked(true); });
}

void MainWindow::restoreLayout() {
  const QSettings settings;
  const QByteArray geometry = settings.value(QStringLiteral("layout/mainWindowGeometry")).toByteArray();
  // Qt takes a torn record in part and moves a window that was off screen
  // only as far as the nearest one: read the frame first.
  if (const std::optional<QRect> frame = savedFrame(geometry); frame && isOnScreen(*frame))
    restoreGeometry(geometry);
  restoreState(settings.value(QStringLiteral("layout/mainWindowState")).toByteArray());
}

std::optional<QRect> MainWindow::savedFrame(const QByteArray &saved) {
  // The layout saveGeometry() writes: magic, version, frame, normal
  // geometry, screen, maximized, full screen, screen width, geometry.
  QDataStream stream(saved);
  stream.setVersion(QDataStream::Qt_4_0);
  quint32 magic = 0;
  quint16 major = 0, minor = 0; // version 3.x: none of the fields below differ
  QRect frame, normal, client;
  qint32 screenNumber = 0, screenWidth = 0;
  quint8 maximized = 0, fullScreen = 0;
  stream >> magic >> major >> minor >> frame >> normal >> screenNumber >> maximized >> fullScreen >> screenWidth >> client;
  if (magic != 0x1D9D0CB || major != 3 || stream.status() != QDataStream::Ok || !frame.isValid() || !stream.atEnd())
    return std::nullopt;
  return frame;
}

bool MainWindow::isOnScreen(const QRect &frame) {
  // Enough of the title bar to take hold of, on a screen that is there now.
  const QRect grip(frame.topLeft(), QSize(frame.width(), std::min(frame.height(), 40)));
  for (const QScreen *candidate : QGuiApplication::screens())
    if (const QRect overlap = candidate->availableGeometry() & grip; overlap.width() >= 80 && overlap.height() >= 20)
      return true;
  return false;
}

void MainWindow::saveLayout() const {
  QSettings settings;
  settings.setValue(QStringLiteral("layout/mainWindowGeometry"), saveGeometry());
  settings.setValue(QStringLiteral("layout/mainWindowState"), saveState());
}

void MainWindow::closeEvent(QCloseEvent *event) {
  saveLayout();
  QMainWindow::closeEvent(event);
}

} // namespace quillane
