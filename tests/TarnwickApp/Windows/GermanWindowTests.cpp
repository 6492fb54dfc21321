#include "TarnwickApp/Windows/AppRootView.h"
#include "TarnwickApp/Windows/MainWindow.h"
#include "TarnwickApp/Windows/WelcomeLauncherView.h"
#include "TarnwickUI/AppTranslations.h"
#include "TarnwickUI/CategoryTitle.h"
#include "TarnwickApp/Windows/ScratchHomeWindow.h"
#include "TarnwickUI/TreemapPalette.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QMenuBar>
#include <QPushButton>

namespace quillane {
namespace {

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

  QStringList menus;
  for (const QAction *menu : window->menuBar()->actions())
    menus << menu->text();
  EXPECT_EQ(menus.mid(1), QStringList({"&Scannen", "&Ansicht", "&Hilfe"}));
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
