// The sidebar's note of what a scan's scope left out.
#include "TarnwickUI/DashboardSidebar.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLocale>

#include <optional>

namespace tarnwick {
namespace {

TEST(DashboardSidebarLeftOut, SaysWhatTheScopeLeftOutAndListsTheMountPoints) {
  struct Case {
    std::int64_t mounts;
    std::int64_t excluded;
    const char *text; // empty: the note is hidden; "%1" stands for the entries
    std::optional<std::int64_t> stoppedAfter = std::nullopt;
  };
  const Case cases[] = {
      {0, 0, ""},
      {1, 0, "1 mount point not entered"},
      {2, 1, "2 mount points not entered · 1 item excluded"},
      {0, 12, "12 items excluded"},
      {0, 1, "partial: stopped after %1 entries · 1 item excluded", 1234567},
  };
  DashboardSidebar sidebar;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text);
    ScanReport report;
    report.skippedMountCount = c.mounts;
    report.excludedCount = c.excluded;
    report.stoppedAfterEntries = c.stoppedAfter;
    for (std::int64_t i = 0; i < c.mounts; ++i)
      report.skippedMounts.push_back({"/mnt/share" + std::to_string(i), "nfs4", ScanReport::SkippedMount::Reason::remote});
    sidebar.setUnreadableFolders(report);
    EXPECT_EQ(sidebar.leftOutNote()->isVisibleTo(&sidebar), *c.text != '\0');
    if (*c.text) {
      EXPECT_EQ(sidebar.leftOutNote()->text(), QString::fromUtf8(c.text).arg(QLocale().toString(qlonglong(c.stoppedAfter.value_or(0)))));
    }
    EXPECT_EQ(sidebar.leftOutNote()->toolTip().startsWith(QStringLiteral("/mnt/share0 (nfs4)")), c.mounts > 0);
  }
}

} // namespace
} // namespace tarnwick
