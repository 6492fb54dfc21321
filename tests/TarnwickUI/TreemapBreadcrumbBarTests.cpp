#include "TarnwickUI/BreadcrumbCrumbButton.h"
#include "TarnwickUI/TreemapBreadcrumbBar.h"
#include "TarnwickUI/TreemapPalette.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include <QAbstractButton>
#include <QApplication>
#include <QMenu>
#include <QLayout>
#include <QSignalSpy>
#include <QTest>

namespace tarnwick {
namespace {

using Glyph = BreadcrumbCrumbButton::Glyph;

DiskNode node(NodeID id, std::string name, bool isDirectory = true) {
  DiskNode result;
  result.id = id, result.name = std::move(name), result.isDirectory = isDirectory;
  return result;
}

// Where `widget` sits in `ancestor`'s coordinates.
QRect rectIn(const QWidget *widget, const QWidget *ancestor) {
  return {widget->mapTo(ancestor, QPoint(0, 0)), widget->size()};
}

// The part of `widget` on screen, in `bar`'s coordinates: its rect clipped
// by every widget between them; empty while it is hidden.
QRect shownPart(const QWidget *widget, const QWidget *bar) {
  if (!widget->isVisibleTo(bar))
    return {};
  QRect shown = rectIn(widget, bar);
  for (const QWidget *parent = widget->parentWidget(); parent != bar; parent = parent->parentWidget())
    shown &= rectIn(parent, bar);
  return shown & bar->rect();
}

// Checks what a laid-out bar shows of its crumbs: each whole or not at
// all, the newest ones, as many as fit, clear of the buttons; and that "…"
// shows while any is out of view and lists exactly those, oldest first.
// Returns how many are out of view.
int checkCrumbsOnShow(TreemapBreadcrumbBar &bar) {
  const int count = bar.crumbCount();
  int hidden = 0;
  for (int i = 0; i < count; ++i) {
    const QRect shown = shownPart(bar.crumb(i), &bar);
    if (shown.isEmpty()) {
      EXPECT_EQ(hidden, i) << i << ": a crumb out of view among those on show";
      hidden = i + 1;
    } else {
      EXPECT_EQ(shown.width(), bar.crumb(i)->width()) << i << ": cut";
      EXPECT_EQ(shown.height(), bar.crumb(i)->height()) << i << ": cut";
    }
  }
  EXPECT_LT(hidden, count) << "the newest crumb is on show";
  for (int i = hidden; i < count; ++i)
    for (const QAbstractButton *button : {bar.backButton(), bar.overflowButton(), bar.rescanButton()})
      EXPECT_FALSE(shownPart(button, &bar).intersects(shownPart(bar.crumb(i), &bar))) << i;

  // Each chevron (whatever beside the crumbs is no button) on show stands
  // between two crumbs on show, level with them.
  std::vector<QRect> chevrons;
  for (const QWidget *widget : bar.crumb(0)->parentWidget()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
    if (widget->isVisible() && !qobject_cast<const QAbstractButton *>(widget))
      chevrons.push_back(rectIn(widget, &bar));
  std::ranges::sort(chevrons, {}, &QRect::left);
  EXPECT_EQ(int(chevrons.size()), count - hidden - 1);
  for (std::size_t j = 0; j < chevrons.size() && hidden + int(j) + 1 < count; ++j) {
    const QRect before = rectIn(bar.crumb(hidden + int(j)), &bar), after = rectIn(bar.crumb(hidden + int(j) + 1), &bar);
    EXPECT_GT(chevrons[j].left(), before.right()) << j;
    EXPECT_LT(chevrons[j].right(), after.left()) << j;
    EXPECT_NEAR(chevrons[j].center().y(), before.center().y(), 1) << j;
  }

  EXPECT_EQ(bar.overflowButton()->isVisible(), hidden > 0);
  const std::unique_ptr<QMenu> menu(bar.overflowMenu(nullptr));
  const QList<QAction *> entries = menu->actions();
  EXPECT_EQ(entries.size(), hidden);
  for (int i = 0; i < std::min(int(entries.size()), count); ++i)
    EXPECT_EQ(entries[i]->text(), bar.crumb(i)->text()) << i;

  if (hidden > 0) {
    // One more crumb, with its chevron, would not fit in the room left
    // between the newest crumb and the first widget after it, less the
    // bar's own gaps around its stretch.
    const QRect newest = rectIn(bar.crumb(count - 1), &bar);
    int next = bar.width();
    for (const QWidget *other : bar.findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
      if (other->isVisible() && rectIn(other, &bar).left() > newest.right())
        next = std::min(next, rectIn(other, &bar).left());
    int gaps = 2 * bar.layout()->spacing();
    for (int i = 0; i < bar.layout()->count(); ++i)
      if (const QSpacerItem *spacer = bar.layout()->itemAt(i)->spacerItem())
        gaps += spacer->minimumSize().width();
    // A chevron and its gaps, as between two crumbs on show.
    const int chevron = hidden + 1 < count ? rectIn(bar.crumb(hidden + 1), &bar).left() -
                                                 rectIn(bar.crumb(hidden), &bar).right() - 1
                                           : 0;
    EXPECT_LT(next - newest.right() - 1 - gaps, bar.crumb(hidden - 1)->width() + chevron) << "room for one more crumb";
  }
  return hidden;
}

TEST(TreemapBreadcrumbBarTest, CrumbsFollowTheChainAndTheBadgeTheCurrentFolder) {
  struct Case {
    const char *what;
    std::vector<DiskNode> chain;
    bool canGoBack;
    std::vector<QString> texts;
    std::vector<Glyph> glyphs;
  };
  const Case cases[] = {
      {"deep chain", {node(0, "home"), node(4, "new\nline"), node(9, "a.txt", false)}, true, {"home", "new⏎line", "a.txt"},
       {Glyph::drive, Glyph::folder, Glyph::none}},
      {"root alone", {node(0, "home")}, false, {"home"}, {Glyph::drive}},
      {"unnamed root", {node(0, ""), node(1, "x")}, true, {"Root", "x"}, {Glyph::drive, Glyph::folder}},
  };
  TreemapBreadcrumbBar bar; // one bar throughout: each state replaces the last
  DiskNode folder = node(3, "docs");
  folder.allocatedSize = 8192, folder.fileCount = 1;
  bar.setState({folder}, folder, false);
  EXPECT_TRUE(bar.isBadgeShown());
  EXPECT_EQ(bar.badgeText(), TreemapPalette::formatBytes(8192) + " • 1 item");
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    bar.setState(c.chain, std::nullopt, c.canGoBack);
    ASSERT_EQ(bar.crumbCount(), int(c.texts.size()));
    EXPECT_EQ(bar.separatorCount(), bar.crumbCount() - 1);
    EXPECT_EQ(bar.backButton()->isEnabled(), c.canGoBack);
    for (int i = 0; i < bar.crumbCount(); ++i) {
      EXPECT_EQ(bar.crumb(i)->text(), c.texts[std::size_t(i)]) << i;
      EXPECT_EQ(bar.crumb(i)->glyph(), c.glyphs[std::size_t(i)]) << i;
      EXPECT_EQ(bar.crumb(i)->isCurrent(), i + 1 == bar.crumbCount()) << i;
    }
    EXPECT_FALSE(bar.isBadgeShown()) << "no current folder given";
  }
}

TEST(TreemapBreadcrumbBarTest, ClicksBecomeSignals) {
  TreemapBreadcrumbBar bar;
  bar.setState({node(0, "home"), node(4, "docs"), node(9, "src")}, std::nullopt, true);
  bar.resize(700, 44);
  bar.show();
  QSignalSpy navigations(&bar, &TreemapBreadcrumbBar::navigateTo);
  QSignalSpy backs(&bar, &TreemapBreadcrumbBar::goBack);
  QSignalSpy rescans(&bar, &TreemapBreadcrumbBar::rescan);

  const auto clickCrumb = [&](int i) { QTest::mouseClick(const_cast<BreadcrumbCrumbButton *>(bar.crumb(i)), Qt::LeftButton); };
  clickCrumb(2);
  clickCrumb(0);
  ASSERT_EQ(navigations.size(), 2);
  EXPECT_EQ(navigations[0][0].value<NodeID>(), 9);
  EXPECT_EQ(navigations[1][0].value<NodeID>(), 0);
  QTest::mouseClick(bar.backButton(), Qt::LeftButton);
  QTest::mouseClick(bar.rescanButton(), Qt::LeftButton);
  EXPECT_EQ(backs.size(), 1);
  EXPECT_EQ(rescans.size(), 1);

  // The owner answers a click by navigating, replacing the clicked crumb.
  QObject::connect(&bar, &TreemapBreadcrumbBar::navigateTo, &bar,
                   [&bar] { bar.setState({node(0, "home")}, std::nullopt, false); });
  clickCrumb(0);
  EXPECT_EQ(bar.crumbCount(), 1);
  QTest::mouseClick(bar.backButton(), Qt::LeftButton);
  EXPECT_EQ(backs.size(), 1) << "a disabled back button stays silent";
}

// Each navigation lays the crumbs out afresh, whatever the bar showed
// before: a chain that fits shows whole, a longer one its newest crumbs.
TEST(TreemapBreadcrumbBarTest, EveryNavigationShowsAsManyWholeCrumbsAsFit) {
  std::vector<std::string> deep = {"home", "Odd", "deep"};
  for (int level = 1; level <= 40; ++level)
    deep.push_back("level" + std::to_string(level));
  const struct {
    const char *what;
    std::vector<std::string> names;
    int width;
    bool fits;
  } steps[] = {
      {"the scan root", {"home"}, 1000, true},
      {"one folder down", {"home", "Downloads"}, 1000, true},
      {"found forty levels down", deep, 1000, false},
      {"a wider window", deep, 1400, false},
      {"back near the top", {"home", "Odd"}, 1400, true},
      {"down again, narrow", deep, 600, false},
      {"up again, narrow", {"home", "Odd", "deep"}, 600, true},
  };
  TreemapBreadcrumbBar bar; // one bar throughout, as in the window
  bar.show();
  int previousHidden = 0;
  for (const auto &step : steps) {
    SCOPED_TRACE(step.what);
    std::vector<DiskNode> chain;
    for (const std::string &name : step.names)
      chain.push_back(node(NodeID(chain.size()), name));
    bar.setState(chain, std::nullopt, chain.size() > 1);
    bar.resize(step.width, bar.sizeHint().height());
    QApplication::processEvents();
    const int hidden = checkCrumbsOnShow(bar);
    EXPECT_EQ(hidden == 0, step.fits) << hidden;
    if (step.names == deep && step.width == 1400) {
      EXPECT_LT(hidden, previousHidden) << "more room shows more";
    }
    previousHidden = hidden;
  }
}

// A long chain shows its newest crumbs; a long name (the most a file system allows) is
// elided in the middle, whole in its tooltip and accessible name, and
// leaves the oldest crumbs room.
TEST(TreemapBreadcrumbBarTest, LongChainsShowTheirNewestCrumbsAndLongNamesElideWhileButtonsStayInPlace) {
  struct Case {
    int width, length;
    bool oldestInView;
    std::size_t lastNameBytes; // 0: named like the others
  };
  const std::string head = "Quarterly-", tail = "-final";
  for (const Case c : {Case{600, 40, false, 0}, Case{1900, 12, true, 0}, Case{900, 3, true, 255}}) {
    SCOPED_TRACE(c.width);
    std::vector<DiskNode> chain;
    for (int i = 0; i < c.length; ++i)
      chain.push_back(node(i * 10, "folder-" + std::to_string(i)));
    if (c.lastNameBytes > 0)
      chain.back().name = head + std::string(c.lastNameBytes - head.size() - tail.size(), 'x') + tail;
    chain.back().allocatedSize = 123456789, chain.back().fileCount = 4321;
    TreemapBreadcrumbBar bar;
    bar.setState(chain, chain.back(), true);
    bar.resize(c.width, bar.sizeHint().height());
    bar.show();
    QApplication::processEvents();

    ASSERT_EQ(bar.width(), c.width);
    for (const QWidget *fixed : std::initializer_list<const QWidget *>{bar.backButton(), bar.rescanButton()}) {
      EXPECT_TRUE(fixed->isVisible());
      EXPECT_TRUE(bar.rect().contains(rectIn(fixed, &bar))) << rectIn(fixed, &bar).x();
    }
    const BreadcrumbCrumbButton *newest = bar.crumb(c.length - 1);
    EXPECT_EQ(checkCrumbsOnShow(bar) == 0, c.oldestInView);
    // "…" goes to each crumb it lists.
    const std::unique_ptr<QMenu> hidden(bar.overflowMenu(nullptr));
    const QList<QAction *> entries = hidden->actions();
    if (!entries.isEmpty()) {
      QSignalSpy navigate(&bar, &TreemapBreadcrumbBar::navigateTo);
      entries.front()->trigger();
      ASSERT_EQ(navigate.count(), 1);
      EXPECT_EQ(navigate.front().front().value<NodeID>(), chain.front().id);
    }
    if (c.lastNameBytes > 0) {
      EXPECT_LE(bar.sizeHint().width(), c.width) << "asks for no more than it has";
      const QString name = QString::fromStdString(chain.back().name);
      EXPECT_EQ(newest->accessibleName(), name);
      const QStringList tipLines = newest->toolTip().split(QLatin1Char('\n'));
      EXPECT_EQ(tipLines.join(QString()), name);
      EXPECT_GT(tipLines.size(), 1) << "a line that long would run off the screen";
      const QString shown = newest->shownText();
      EXPECT_LT(shown.size(), name.size());
      EXPECT_TRUE(shown.startsWith(QString::fromStdString(head)) && shown.endsWith(QString::fromStdString(tail)))
          << shown.toStdString();
    }
  }
}

} // namespace
} // namespace tarnwick
