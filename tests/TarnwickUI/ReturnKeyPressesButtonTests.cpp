// Return and Enter on a focused button, with the filter installed as the
// application installs it.
#include "TarnwickUI/ReturnKeyPressesButton.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

namespace quillane {
namespace {

// Each row: a button, the key, and how often it must be pressed. A dialog's
// default button, which Qt presses on Return itself, is pressed once.
TEST(ReturnKeyPressesButtonTest, PressesTheFocusedButtonOnceAndLeavesTogglesAlone) {
  tarnwick::ReturnKeyPressesButton returnKey;
  qApp->installEventFilter(&returnKey);
  QWidget page;
  auto *layout = new QVBoxLayout(&page);
  auto *push = new QPushButton("Clean Up", &page);
  auto *tool = new QToolButton(&page);
  auto *toggle = new QPushButton("Show Hidden", &page);
  toggle->setCheckable(true);
  for (QWidget *widget : {static_cast<QWidget *>(push), static_cast<QWidget *>(tool), static_cast<QWidget *>(toggle)})
    layout->addWidget(widget);
  QDialog dialog;
  auto *accept = new QPushButton("OK", &dialog);
  accept->setDefault(true);
  struct Row {
    const char *name;
    QAbstractButton *button;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int presses;
  };
  const Row rows[] = {
      {"push button, Return", push, Qt::Key_Return, Qt::NoModifier, 1},
      {"push button, keypad Enter", push, Qt::Key_Enter, Qt::KeypadModifier, 1},
      {"push button, Shift+Return", push, Qt::Key_Return, Qt::ShiftModifier, 0},
      {"tool button, Return", tool, Qt::Key_Return, Qt::NoModifier, 1},
      {"toggle, Return", toggle, Qt::Key_Return, Qt::NoModifier, 0},
      {"dialog's default button, Return", accept, Qt::Key_Return, Qt::NoModifier, 1},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    QWidget *window = row.button->window();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    window->activateWindow();
    row.button->setFocus(Qt::TabFocusReason);
    int presses = 0;
    const auto connection = QObject::connect(row.button, &QAbstractButton::clicked, [&] { ++presses; });
    QTest::keyClick(row.button, row.key, row.modifiers);
    // An extra press, if any, would come at the latest with an animated one.
    EXPECT_FALSE(QTest::qWaitFor([&] { return presses > row.presses; }, 400)) << "pressed too often";
    EXPECT_EQ(presses, row.presses);
    EXPECT_FALSE(row.button->isChecked());
    QObject::disconnect(connection);
    window->hide();
  }
  qApp->removeEventFilter(&returnKey);
}

} // namespace
} // namespace quillane
