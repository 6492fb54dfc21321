#include "TarnwickUI/BreadcrumbCrumbButton.h"
#include "TarnwickUI/TreemapBreadcrumbBar.h"
#include "TarnwickUI/TreemapPalette.h"

#include <gtest/gtest.h>

#include <memory>

#include <QAbstractButton>
#include <QApplication>
#include <QMenu>
#include <QScrollArea>
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

// A long chain scrolls; a long name (the most a file system allows) is
// elided in the middle, whole in its tooltip and accessible name, and
// leaves the oldest crumbs room.
TEST(TreemapBreadcrumbBarTest, LongChainsScrollAndLongNamesElideWhileButtonsStayInPlace) {
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
    const QWidget *viewport = bar.findChild<QScrollArea *>()->viewport();
    const BreadcrumbCrumbButton *newest = bar.crumb(c.length - 1);
    EXPECT_TRUE(viewport->rect().contains(rectIn(newest, viewport))) << "the newest crumb";
    EXPECT_EQ(viewport->rect().contains(rectIn(bar.crumb(0), viewport)), c.oldestInView) << "the oldest crumb";
    // "…" lists the crumbs out of view, oldest first, and goes to each.
    EXPECT_EQ(bar.overflowButton()->isVisible(), !c.oldestInView);
    const std::unique_ptr<QMenu> hidden(bar.overflowMenu(nullptr));
    const QList<QAction *> entries = hidden->actions();
    EXPECT_EQ(entries.isEmpty(), c.oldestInView);
    for (int i = 0; i < entries.size(); ++i) {
      EXPECT_EQ(entries[i]->text(), bar.crumb(i)->text());
      EXPECT_LT(rectIn(bar.crumb(i), viewport).left(), 0) << i << ": only what is out of view";
    }
    if (!entries.isEmpty()) {
      EXPECT_GE(rectIn(bar.crumb(int(entries.size())), viewport).left(), 0) << "every crumb out of view";
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
