#include "TarnwickApp/Windows/RecentScansList.h"

#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QSignalSpy>
#include <QTest>

#include <fstream>

namespace quillane {
namespace {

using test::TempTree;

TEST(RecentScansListTest, NewestFirstEachOpensItsFileAndAnUnreadableOneOpensNothing) {
  TempTree tree;
  tree.writeFile("a/file", 1000);
  tree.writeFile("b/file", 2000);
  const tarnwick::ScanSnapshotStore store(tree.path("remembered"));
  ASSERT_TRUE(store.save(tarnwick::FastBulkScanner(2).scan(tree.path("a")), 1'000));
  ASSERT_TRUE(store.save(tarnwick::FastBulkScanner(2).scan(tree.path("b")), 2'000));
  std::ofstream(tree.path("remembered/0000000000000000.qsnap")) << "not a snapshot";

  RecentScansList list;
  list.setEntries(store.list(), 2'000 + 3 * 86'400);
  ASSERT_EQ(list.rows().size(), 3);
  EXPECT_TRUE(list.rows()[0]->text().contains(QStringLiteral("3 days ago")));
  EXPECT_TRUE(list.rows()[0]->text().startsWith(QString::fromStdString(tree.path("b"))));
  EXPECT_FALSE(list.rows()[2]->isEnabled()) << "the unreadable file comes last, and opens nothing";

  QSignalSpy opened(&list, &RecentScansList::openRequested);
  QTest::mouseClick(list.rows()[1], Qt::LeftButton);
  ASSERT_EQ(opened.size(), 1);
  EXPECT_EQ(opened.front().front().toString().toStdString(), store.filePathFor(tree.path("a")));

  list.setEntries({}, 0);
  EXPECT_TRUE(list.rows().isEmpty());
}

TEST(RecentScansListTest, AgesCountWholeUnits) {
  const std::pair<std::int64_t, const char *> ages[] = {
      {59, "just now"}, {60, "1 minute ago"}, {3'599, "59 minutes ago"}, {3'600, "1 hour ago"},
      {86'399, "23 hours ago"}, {86'400, "1 day ago"}, {40 * 86'400, "40 days ago"}};
  for (const auto &[seconds, text] : ages)
    EXPECT_EQ(RecentScansList::ageText(seconds).toStdString(), text) << seconds;
}

} // namespace
} // namespace quillane
