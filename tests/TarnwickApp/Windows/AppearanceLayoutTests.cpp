#include "TarnwickApp/Windows/MainWindow.h"

#include "TarnwickApp/Windows/AppRootView.h"
#include "TarnwickApp/Windows/RecentScansList.h"
#include "TarnwickApp/Windows/ReportToast.h"
#include "TarnwickApp/Windows/ScratchHomeWindow.h"
#include "TarnwickApp/Windows/TrashWindow.h"
#include "TarnwickApp/Windows/WelcomeLauncherView.h"
#include "TarnwickUI/AppTranslations.h"
#include "TarnwickUI/AppearanceController.h"
#include "TarnwickUI/CategoryTitle.h"
#include "TarnwickUI/DashboardSidebar.h"
#include "TarnwickUI/ReturnKeyPressesButton.h"
#include "TarnwickUI/SizeloomDashboardView.h"
#include "TarnwickUI/TreemapPalette.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>

#include <algorithm>
#include <cerrno>

namespace quillane {
namespace {

using tarnwick::AppearanceController;
using tarnwick::ReturnKeyPressesButton;

class AppearanceLayoutTest : public test::ScratchHomeWindow {
protected:
  AppearanceLayoutTest() {
    tree.writeFile("home/Projects/app/main.cpp", 40'000);
    tree.writeFile("home/Movies/holiday.mp4", 2'400'000);
    tree.writeFile("home/notes.txt", 12'000);
  }
  void SetUp() override {
    AppearanceController::instance().setPortal(nullptr); // no session bus in tests
    AppearanceController::instance().setAppearance(AppearanceController::Appearance::dark);
    QSettings().remove(QStringLiteral("layout"));
    ScratchHomeWindow::SetUp();
  }
  void TearDown() override { AppearanceController::instance().setAppearance(AppearanceController::Appearance::dark); }

  std::unique_ptr<MainWindow> exposedWindow(std::vector<tarnwick::Failure> unreadable = {}) {
    auto window = makeWindow([unreadable] { return tarnwick::AccessCheck{.unreadable = unreadable}; });
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    return window;
  }
};

QColor windowColour(const QWidget &widget) { return widget.palette().color(QPalette::Window); }

TEST_F(AppearanceLayoutTest, AppearanceReachesOpenWindowsMenusAndTooltipsAndIsRemembered) {
  auto window = exposedWindow();
  TrashWindow *trash = window->showTrash();
  QMenu *menu = window->menuBar()->actions().front()->menu();
  ASSERT_EQ(window->appearanceActions().size(), 3u);
  const QColor light = tarnwick::WidgetStyle::lightPalette().color(QPalette::Window);
  const QColor dark = tarnwick::WidgetStyle::darkPalette().color(QPalette::Window);
  ASSERT_EQ(windowColour(*window), dark);

  window->appearanceActions()[1]->trigger(); // Light
  QApplication::processEvents(); // widgets hear of the application's palette in an event
  for (const QWidget *widget : std::initializer_list<const QWidget *>{window.get(), trash, menu})
    EXPECT_EQ(windowColour(*widget), light) << widget->metaObject()->className();

  auto second = exposedWindow();
  EXPECT_TRUE(second->appearanceActions()[1]->isChecked()) << "a new window shows the remembered choice";
  EXPECT_FALSE(second->appearanceActions()[2]->isChecked());
  second->appearanceActions()[2]->trigger(); // Dark, from the other window
  QApplication::processEvents();
  EXPECT_EQ(windowColour(*window), dark);
  EXPECT_TRUE(window->appearanceActions()[2]->isChecked()) << "every window's menu shows the choice";
}

// The toast draws its own dark plate whatever the appearance, so its text
// must not take the light appearance's dark text colour.
TEST_F(AppearanceLayoutTest, TheToastsTextStandsOutInBothAppearances) {
  auto window = exposedWindow();
  auto *toast = window->findChild<ReportToast *>();
  ASSERT_NE(toast, nullptr);
  toast->showMessage(QStringLiteral("Moved “notes.txt” to the Trash."), true, QStringLiteral("Undo"));
  const auto *label = toast->findChild<QLabel *>();
  const auto *button = toast->findChild<QPushButton *>();
  ASSERT_TRUE(label && button);
  for (int appearance : {1, 2}) { // Light, Dark
    window->appearanceActions()[appearance]->trigger();
    QApplication::processEvents();
    using tarnwick::TreemapPalette;
    EXPECT_GE(TreemapPalette::contrastRatio(label->palette().color(QPalette::WindowText), ReportToast::plateColour()), 4.5)
        << "appearance " << appearance;
    const QPalette &keys = button->palette();
    EXPECT_GE(TreemapPalette::contrastRatio(keys.color(QPalette::ButtonText), keys.color(QPalette::Button)), 4.5)
        << "appearance " << appearance;
  }
}

TEST_F(AppearanceLayoutTest, TheWindowReopensWhereItWasAndIgnoresWhatItCannotUse) {
  QPoint designedPosition;
  QSize designedSize;
  {
    auto window = exposedWindow();
    designedPosition = window->pos();
    designedSize = window->size();
    window->move(designedPosition + QPoint(31, 17));
    window->close();
  }
  {
    auto window = exposedWindow();
    EXPECT_LE((window->pos() - designedPosition - QPoint(31, 17)).manhattanLength(), 2);
    EXPECT_EQ(window->size(), designedSize);
  }
  for (const QByteArray &garbage : {QByteArray("\x01\xd9\xd0\xcb\x00\x03garbage", 14), QByteArray(80, '\x7f')}) {
    QSettings().setValue(QStringLiteral("layout/mainWindowGeometry"), garbage);
    QSettings().setValue(QStringLiteral("layout/mainWindowState"), garbage);
    auto window = exposedWindow();
    EXPECT_EQ(window->size(), designedSize) << garbage.toHex().toStdString();
  }
  { // saved on a screen that is gone
    QWidget elsewhere;
    elsewhere.setGeometry(9000, 7000, 900, 700);
    QSettings().setValue(QStringLiteral("layout/mainWindowGeometry"), elsewhere.saveGeometry());
    auto window = exposedWindow();
    const QRect available = window->screen()->availableGeometry();
    EXPECT_TRUE(available.intersects(window->frameGeometry())) << "reachable on the screen there is";
  }
}

/// The focusable widgets inside `area`, in Tab order, from its first one.
std::vector<QWidget *> tabChain(QWidget &area) {
  std::vector<QWidget *> chain;
  for (QWidget *widget = area.nextInFocusChain(); widget != &area; widget = widget->nextInFocusChain())
    if (area.isAncestorOf(widget) && widget->isVisible() && widget->isEnabled() && (widget->focusPolicy() & Qt::TabFocus))
      chain.push_back(widget);
  return chain;
}

/// Whether `next` comes after `previous` reading the screen: below it, or
/// beside it to the right, or inside it.
bool readsAfter(const QWidget &previous, const QWidget &next, const QWidget &area) {
  const QRect a(previous.mapTo(&area, QPoint()), previous.size()), b(next.mapTo(&area, QPoint()), next.size());
  const bool besideIt = b.top() < a.bottom() && a.top() < b.bottom() && b.left() >= a.right() - 1;
  return b.top() >= a.bottom() - 1 || besideIt || previous.isAncestorOf(&next);
}

void expectReadingOrder(const std::vector<QWidget *> &chain, const QWidget &area) {
  for (std::size_t i = 1; i < chain.size(); ++i)
    EXPECT_TRUE(readsAfter(*chain[i - 1], *chain[i], area))
        << chain[i - 1]->metaObject()->className() << " " << chain[i - 1]->accessibleName().toStdString() << " before "
        << chain[i]->metaObject()->className() << " " << chain[i]->accessibleName().toStdString();
}

TEST_F(AppearanceLayoutTest, TabFollowsTheVisualOrderOnTheLauncherAndTheExplorer) {
  auto window = exposedWindow({tarnwick::Failure{.action = "open", .path = tree.path("home/locked"), .errorNumber = EACCES, .reason = {}}});
  WelcomeLauncherView &launcher = *window->rootView()->launcher();
  launcher.recentScans()->setEntries(
      {tarnwick::ScanSnapshotStore::Entry{.filePath = tree.path("a.snapshot"),
                                          .header = tarnwick::ScanSnapshotHeader{.rootPath = tree.path("home")},
                                          .error = std::nullopt}},
      0);
  const std::vector<QWidget *> launcherChain = tabChain(launcher);
  ASSERT_GE(launcherChain.size(), 6u) << "the banner's button, four cards, a remembered scan";
  expectReadingOrder(launcherChain, launcher);

  scanHome(*window);
  tarnwick::SizeloomDashboardView &dashboard = *window->rootView()->dashboard();
  const auto folder = dashboard.arena()->children(0).front();
  dashboard.navigateTo(folder.id); // crumbs made after the rest of the explorer
  QApplication::processEvents();
  const std::vector<QWidget *> chain = tabChain(dashboard);
  // The sidebar is a column of its own, read first.
  const auto inSidebar = [&](QWidget *widget) { return dashboard.sidebar()->isAncestorOf(widget); };
  EXPECT_TRUE(std::is_partitioned(chain.begin(), chain.end(), inSidebar)) << "nothing before the sidebar";
  const auto sidebarEnd = std::partition_point(chain.begin(), chain.end(), inSidebar);
  EXPECT_GE(sidebarEnd - chain.begin(), 2);
  EXPECT_GE(chain.end() - sidebarEnd, 4) << "back, crumbs, rescan, treemap";
  expectReadingOrder({chain.begin(), sidebarEnd}, dashboard);
  expectReadingOrder({sidebarEnd, chain.end()}, dashboard);
}

TEST_F(AppearanceLayoutTest, ALauncherCardRunsOnEnterAndSpace) {
  auto window = exposedWindow();
  int asked = 0;
  window->setFolderChooser([&](QWidget *) { return ++asked, std::optional<QString>(); });
  QAbstractButton *card = window->rootView()->launcher()->card(2); // Select Custom Directory…
  card->setFocus(Qt::TabFocusReason);
  ReturnKeyPressesButton returnKey; // as the application installs it
  qApp->installEventFilter(&returnKey);
  for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space})
    QTest::keyClick(card, key);
  EXPECT_TRUE(QTest::qWaitFor([&] { return asked == 3; })) << asked;
  qApp->removeEventFilter(&returnKey);
}

// The launcher in the room a small screen at a large scale leaves it (the
// screen's logical size less a menu bar: 1366 × 768 at 1.5, 1920 × 1080 at
// 2, then 1280 × 800 at 1): the page scrolls rather than squeezing the cards.
TEST(LauncherLayoutTest, CardsKeepTheirHeightAndThePageScrollsWhenShort) {
  QWidget window; // a window the screen holds to its size, whatever the launcher asks
  auto *launcher = new WelcomeLauncherView(WelcomeLauncherView::Shortcuts{}, &window);
  launcher->setUnreadableCount(2); // the banner takes room too
  window.show();
  for (const QSize size : {QSize(910, 487), QSize(960, 515), QSize(1280, 775)}) {
    SCOPED_TRACE(size.height());
    window.resize(size);
    launcher->setGeometry(window.rect());
    QApplication::processEvents();
    EXPECT_LE(launcher->minimumSizeHint().height(), size.height()) << "the window need not outgrow the screen";
    for (int i = 0; i < 4; ++i)
      EXPECT_GE(launcher->card(i)->height(), launcher->card(i)->sizeHint().height()) << i;
  }
}

// The window as a German user sees it: locale and translator are set
// before the window is built, as at start-up, and English comes back for
// the suites after this one.
class GermanWindowTest : public test::ScratchHomeWindow {
protected:
  static void SetUpTestSuite() {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    german = tarnwick::AppTranslations::install(QLocale());
  }
  static void TearDownTestSuite() {
    QLocale::setDefault(QLocale::system());
    tarnwick::AppTranslations::install(QLocale(QLocale::English));
  }

  static inline bool german = false;
};

TEST_F(GermanWindowTest, LauncherMenusPluralsAndQtButtonsSpeakGerman) {
  ASSERT_TRUE(german) << "quillane_de.qm not found in " << tarnwick::AppTranslations::folders().join(' ').toStdString();
  const std::unique_ptr<MainWindow> window = makeWindow();
  EXPECT_EQ(window->scanHomeAction()->text(), "Persönlichen Ordner scannen");
  EXPECT_EQ(window->rootView()->launcher()->card(0)->text(), "Persönlichen Ordner scannen");
  EXPECT_EQ(tarnwick::categoryTitle(tarnwick::CleanableCategory::trashBins), "Papierkörbe");

  const struct {
    std::int64_t count;
    bool isDirectory;
    const char *text;
  } counts[] = {{1, false, "1 Datei"}, {3, false, "3 Dateien"}, {1, true, "1 Objekt"}, {1200, true, "1.200 Objekte"}};
  for (const auto &c : counts)
    EXPECT_EQ(tarnwick::TreemapPalette::formatItemCount(c.count, c.isDirectory), c.text);

  QDialogButtonBox buttons(QDialogButtonBox::Cancel);
  EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text(), "Abbrechen") << "Qt's own translation is loaded too";
}

TEST_F(GermanWindowTest, EnglishHasItsPluralsWhenNoTranslationFits) {
  EXPECT_FALSE(tarnwick::AppTranslations::install(QLocale(QLocale::Swahili)));
  EXPECT_EQ(tarnwick::TreemapPalette::formatItemCount(1, false), "1 file");
  EXPECT_EQ(tarnwick::TreemapPalette::formatItemCount(2, true), "2 items");
  EXPECT_EQ(tarnwick::categoryTitle(tarnwick::CleanableCategory::trashBins), "Trash Bins");
}

} // namespace
} // namespace quillane
