#include "TarnwickUI/AppearanceController.h"
#include "TarnwickUI/SplitterMemory.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDBusVariant>
#include <QLabel>
#include <QSettings>
#include <QSplitter>
#include <QToolTip>

namespace tarnwick {
namespace {

using Preference = AppearancePortal::Preference;
using Appearance = AppearanceController::Appearance;
using WidgetStyle::Tone;

/// A portal that answers ReadOne, Read, or neither, with `value`.
AppearancePortal::Caller portalAnswering(std::optional<QString> method, QVariant value) {
  return [method, value](const QString &called) -> std::optional<QVariant> {
    if (method && called == *method)
      return value;
    return std::nullopt;
  };
}

QVariant wrapped(QVariant value) { return QVariant::fromValue(QDBusVariant(std::move(value))); }

TEST(AppearancePortalTest, ReadsTheSchemeWhicheverMethodThePortalHas) {
  const QString readOne = QStringLiteral("ReadOne"), read = QStringLiteral("Read");
  const struct {
    std::optional<QString> method;
    QVariant value;
    std::optional<Preference> expected;
  } cases[] = {
      {readOne, wrapped(0u), Preference::none},
      {readOne, wrapped(1u), Preference::dark},
      {readOne, wrapped(2u), Preference::light},
      {readOne, wrapped(7u), Preference::none},
      {read, wrapped(wrapped(1u)), Preference::dark}, // the older method wraps once more
      {readOne, wrapped(QStringLiteral("1")), std::nullopt},
      {readOne, wrapped(wrapped(wrapped(2u))), std::nullopt},
      {std::nullopt, {}, std::nullopt}, // no portal
  };
  for (const auto &c : cases) {
    const AppearancePortal portal(portalAnswering(c.method, c.value));
    EXPECT_EQ(portal.preference(), c.expected) << c.method.value_or("none").toStdString() << " " << c.value.typeName();
  }
}

class AppearanceControllerTest : public ::testing::Test {
protected:
  void TearDown() override {
    controller.setPortal(nullptr);
    controller.setAppearance(Appearance::dark);
  }
  void usePortal(std::optional<QString> method, QVariant value) {
    controller.setPortal(std::make_unique<AppearancePortal>(portalAnswering(std::move(method), std::move(value))));
  }
  static Tone windowTone() { return WidgetStyle::currentTone(); }

  AppearanceController &controller = AppearanceController::instance();
};

TEST_F(AppearanceControllerTest, SystemFollowsThePortalLiveElseTheDesktopPalette) {
  const QColor lightDesktop(0xf0, 0xf0, 0xf0), darkDesktop(0x30, 0x30, 0x30);
  const struct {
    std::optional<QString> method;
    unsigned scheme;
    QColor desktop;
    Tone expected;
  } cases[] = {
      {QStringLiteral("ReadOne"), 1, lightDesktop, Tone::dark},
      {QStringLiteral("ReadOne"), 2, darkDesktop, Tone::light},
      {QStringLiteral("ReadOne"), 0, lightDesktop, Tone::light}, // no preference: the desktop decides
      {QStringLiteral("ReadOne"), 0, darkDesktop, Tone::dark},
      {std::nullopt, 0, lightDesktop, Tone::light}, // no portal
  };
  for (const auto &c : cases) {
    controller.setPlatformWindowColour(c.desktop);
    usePortal(c.method, wrapped(c.scheme));
    controller.setAppearance(Appearance::system);
    EXPECT_EQ(controller.tone(), c.expected) << c.scheme;
    EXPECT_EQ(windowTone(), c.expected);
  }
  controller.setAppearance(Appearance::dark);
  EXPECT_EQ(windowTone(), Tone::dark) << "a choice of the user's goes before the portal";

  // Live, as the portal reports a change.
  unsigned scheme = 1;
  auto owned = std::make_unique<AppearancePortal>(
      [&scheme](const QString &) -> std::optional<QVariant> { return wrapped(scheme); });
  AppearancePortal &portal = *owned;
  controller.setPortal(std::move(owned));
  controller.setAppearance(Appearance::system);
  ASSERT_EQ(windowTone(), Tone::dark);
  scheme = 2;
  portal.settingChanged(QStringLiteral("org.freedesktop.appearance"), QStringLiteral("contrast"), QDBusVariant(1u));
  EXPECT_EQ(windowTone(), Tone::dark) << "another setting of the portal";
  portal.settingChanged(QStringLiteral("org.freedesktop.appearance"), QStringLiteral("color-scheme"), QDBusVariant(2u));
  EXPECT_EQ(windowTone(), Tone::light);
}

TEST_F(AppearanceControllerTest, ASwitchRecoloursTooltipsGivenColoursAndStyleSheetsAndIsRemembered) {
  controller.setAppearance(Appearance::dark);
  QWidget window;
  QLabel *caption = WidgetStyle::makeLabel(QStringLiteral("caption"), QFont(), WidgetStyle::secondaryText(), &window);
  auto *framed = new QLabel(&window);
  framed->setStyleSheet(QStringLiteral("QLabel { background: %1; border: 1px solid rgba(255,255,255,22); }")
                            .arg(WidgetStyle::controlBackground().name()));
  const QString darkSheet = framed->styleSheet();

  controller.setAppearance(Appearance::light);
  const QPalette light = WidgetStyle::lightPalette();
  EXPECT_EQ(QApplication::palette().color(QPalette::Window), light.color(QPalette::Window));
  EXPECT_EQ(QToolTip::palette().color(QPalette::ToolTipBase), light.color(QPalette::ToolTipBase));
  const QColor captionColour = caption->palette().color(QPalette::WindowText);
  EXPECT_EQ(captionColour.rgb(), light.color(QPalette::WindowText).rgb());
  EXPECT_NEAR(captionColour.alphaF(), WidgetStyle::secondaryText().alphaF(), 0.01) << "its opacity stays";
  EXPECT_EQ(framed->styleSheet(),
            QStringLiteral("QLabel { background: %1; border: 1px solid rgba(0,0,0,22); }")
                .arg(light.color(QPalette::Button).name()));
  EXPECT_EQ(QSettings().value(QLatin1String(AppearanceController::settingsKey())).toString(), QStringLiteral("light"));

  controller.setAppearance(Appearance::dark);
  EXPECT_EQ(framed->styleSheet(), darkSheet) << "and back";
  EXPECT_EQ(caption->palette().color(QPalette::WindowText), WidgetStyle::secondaryText());
}

TEST(SplitterMemoryTest, RestoresWhatWasMovedAndIgnoresWhatCannotBeRead) {
  const QString key = QStringLiteral("test/splitter");
  auto makeSplitter = [](QWidget &window) {
    auto *splitter = new QSplitter(&window);
    splitter->addWidget(new QWidget);
    splitter->addWidget(new QWidget);
    window.resize(600, 200);
    splitter->resize(600, 200);
    splitter->setSizes({300, 300});
    return splitter;
  };
  QSettings().remove(key);
  QList<int> moved, designed;
  {
    QWidget window;
    QSplitter *splitter = makeSplitter(window);
    designed = splitter->sizes();
    SplitterMemory::remember(splitter, key);
    splitter->setSizes({150, 450});
    moved = splitter->sizes();
    emit splitter->splitterMoved(moved.front(), 1); // as a drag ends
  }
  ASSERT_NE(moved, designed);
  QWidget again;
  QSplitter *restored = makeSplitter(again);
  SplitterMemory::remember(restored, key);
  EXPECT_EQ(restored->sizes(), moved);

  for (const QByteArray &garbage : {QByteArray("\x00\xff\x12garbage", 10), QByteArray(64, '\xff')}) {
    QSettings().setValue(key, garbage);
    QWidget window;
    QSplitter *splitter = makeSplitter(window);
    SplitterMemory::remember(splitter, key);
    EXPECT_EQ(splitter->sizes(), designed);
  }
}

} // namespace
} // namespace tarnwick
