#include "TarnwickUI/DashboardActionBar.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QPushButton>

#include <algorithm>
#include <string>

namespace tarnwick {
namespace {

// Where `widget` sits in `ancestor`'s coordinates.
QRect rectIn(const QWidget *widget, const QWidget *ancestor) {
  return {widget->mapTo(ancestor, QPoint(0, 0)), widget->size()};
}

// The label that shows `text`, whole or shortened: its tooltip holds it whole.
const QLabel *labelFor(const QWidget &bar, const QString &text) {
  for (const QLabel *label : bar.findChildren<QLabel *>())
    if (label->isVisible() && label->toolTip() == text)
      return label;
  return nullptr;
}

// The subject's path and name take the room the buttons leave them: whole
// when it is enough, elided in the middle when not, and then reaching up to
// the buttons, which always show whole. One bar throughout, as in the
// window: each subject follows the last.
TEST(DashboardActionBarTest, TheSubjectUsesTheRoomTheButtonsLeave) {
  std::string deep = "/tmp/ux/home/Odd/deep";
  for (int level = 1; level <= 40; ++level)
    deep += "/level" + std::to_string(level);
  const struct {
    const char *what;
    int width;
    std::string path;
    bool isSelection, whole;
  } cases[] = {
      {"the folder on show", 950, "/tmp/ux/home", false, true},
      {"a file beside three buttons", 950, "/tmp/ux/home/Downloads/archive.tar.gz", true, true},
      {"a longer path beside three buttons", 950, "/home/someone/Documents/Reports/2024/Quarterly/summary-final.pdf",
       true, true},
      {"a file forty folders down", 950, deep + "/bottom.dat", true, false},
      {"the folder on show, one button", 950, deep, false, false},
      {"a narrow window", 700, deep + "/bottom.dat", true, false},
      {"a wide window again", 950, "/tmp/ux/home/Downloads/archive.tar.gz", true, true},
  };
  DashboardActionBar bar;
  bar.show();
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    DiskNode node;
    node.path = c.path;
    node.name = c.path.substr(c.path.rfind('/') + 1);
    node.isDirectory = !c.isSelection;
    bar.setSubject(node, c.isSelection);
    bar.resize(c.width, bar.sizeHint().height());
    bar.show();
    QApplication::processEvents();
    ASSERT_EQ(bar.width(), c.width);

    const QLabel *path = labelFor(bar, QString::fromStdString(c.path));
    ASSERT_TRUE(path);
    for (const QLabel *label : bar.findChildren<QLabel *>()) // the name and the kind, short ones
      if (label->isVisible() && !label->toolTip().isEmpty() && label != path) {
        EXPECT_EQ(label->text().toStdString(), label->toolTip().toStdString()) << "shows whole";
      }
    int firstButton = c.width;
    for (const QPushButton *button : {bar.revealButton(), bar.trashButton(), bar.smartCleanButton()}) {
      EXPECT_EQ(button->isVisible(), c.isSelection || button == bar.smartCleanButton());
      if (!button->isVisible())
        continue;
      EXPECT_TRUE(bar.rect().contains(rectIn(button, &bar))) << button->text().toStdString();
      EXPECT_GE(button->width(), button->sizeHint().width()) << button->text().toStdString();
      firstButton = std::min(firstButton, rectIn(button, &bar).left());
    }
    EXPECT_LT(rectIn(path, &bar).right(), firstButton);
    if (c.whole) {
      EXPECT_EQ(path->text().toStdString(), c.path);
    } else {
      const QString shown = path->text();
      EXPECT_TRUE(shown.contains(QStringLiteral("…"))) << shown.toStdString();
      EXPECT_TRUE(shown.startsWith(QStringLiteral("/tmp/")) && shown.endsWith(QString::fromStdString(node.name)))
          << "elided in the middle: " << shown.toStdString();
      // Nothing but the gaps either side of the collapsed stretch lies
      // between the path and the buttons.
      EXPECT_LE(firstButton - rectIn(path, &bar).right() - 1, 2 * bar.layout()->spacing()) << "room left unused";
    }
  }
}

} // namespace
} // namespace tarnwick
