#include "TarnwickApp/Windows/CleaningReportMessage.h"

#include "TarnwickUI/TreemapPalette.h"

#include <gtest/gtest.h>

#include <map>

namespace quillane {
namespace {

using tarnwick::DeletionMode;
using tarnwick::ReclaimedSpace;
using tarnwick::SafeCleaningReport;

SafeCleaningReport cleaned(std::vector<std::string> paths, ReclaimedSpace space,
                           std::map<std::string, std::string> errors = {}) {
  SafeCleaningReport report;
  report.cleanedPaths = std::move(paths);
  report.reclaimed = std::move(space);
  report.errors = std::move(errors);
  return report;
}

// What a message must say and must not, for one report.
struct MessageCase {
  const char *what;
  SafeCleaningReport report;
  std::vector<QString> says;
  std::vector<QString> neverSays;
};

void expectMessage(const MessageCase &c, const CleaningReportMessage &message) {
  EXPECT_EQ(message.succeeded, c.report.errors.empty());
  for (const QString &part : c.says)
    EXPECT_TRUE(message.text.contains(part)) << message.text.toStdString() << " lacks " << part.toStdString();
  for (const QString &part : c.neverSays)
    EXPECT_FALSE(message.text.contains(part)) << message.text.toStdString() << " has " << part.toStdString();
}

// The message tells a move to the Trash (freed once it is emptied) from a
// removal (freed now), and an item kept alive by other links from one that
// frees space; a removal that partly failed says so, and is no move either.
TEST(CleaningReportMessageTest, SaysWhenTheSpaceIsFreedAndWhatOtherLinksKeep) {
  const QString size = tarnwick::TreemapPalette::formatBytes(1'200'000);
  const MessageCase cases[] = {
      {"trashed", cleaned({"/h/x"}, {DeletionMode::moveToTrash, 1'200'000, 0, {}}),
       {"“x”", "Trash", size, "emptied"}, {"no space", "link"}},
      {"removed", cleaned({"/h/x"}, {DeletionMode::permanentDelete, 1'200'000, 0, {}}),
       {"Removed “x”", size}, {"Trash", "no space"}},
      {"linked elsewhere", cleaned({"/h/x"}, {DeletionMode::moveToTrash, 0, 1, {{"/h/x", 1}}}),
       {"“x”", "frees no space", "1 other link to it remains"}, {"emptied"}},
      {"both linked elsewhere", cleaned({"/h/x", "/h/y"}, {DeletionMode::permanentDelete, 0, 4, {{"/h/x", 2}, {"/h/y", 2}}}),
       {"2 items", "free no space", "4 other links to them remain"}, {"Trash"}},
      {"one of two linked elsewhere", cleaned({"/h/x", "/h/y"}, {DeletionMode::moveToTrash, 4096, 1, {{"/h/y", 1}}}),
       {"2 items", "“y” frees no space"}, {}},
      {"some files keep links", cleaned({"/h/x"}, {DeletionMode::moveToTrash, 1'200'000, 3, {}}),
       {size, "3 other links"}, {"no space"}},
      {"a removal that partly failed",
       cleaned({"/h/x"}, {DeletionMode::permanentDelete, 4096, 0, {}}, {{"/h/y", "cannot remove /h/y: busy"}}),
       {"Removed 1 of 2"}, {"Trash"}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    expectMessage(c, CleaningReportMessage::from(c.report));
  }
}

// An emptied Trash is said apart, with what it freed, and is not counted
// among the items moved there.
TEST(CleaningReportMessageTest, AnEmptiedTrashIsNoItemMovedToIt) {
  const std::string trash = "/h/.local/share/Trash";
  const QString trashFreed = tarnwick::TreemapPalette::formatBytes(5'000'000);
  const QString moved = tarnwick::TreemapPalette::formatBytes(1'200'000);
  const MessageCase cases[] = {
      {"the Trash alone", cleaned({trash}, {DeletionMode::moveToTrash, 0, 0, {}}),
       {"Emptied the Trash", trashFreed}, {"Moved", "item"}},
      {"the Trash and one item", cleaned({trash, "/h/x"}, {DeletionMode::moveToTrash, 1'200'000, 0, {}}),
       {"Emptied the Trash", trashFreed, "Moved “x” to the Trash", moved}, {"2 items"}},
      {"the Trash and a refusal", cleaned({trash}, {DeletionMode::moveToTrash, 0, 0, {}}, {{"/h/y", "no"}}),
       {"Emptied the Trash", "Could not move “y”"}, {"1 of 2"}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    SafeCleaningReport report = c.report;
    // Every case has its reclaimed space; value_or keeps -O3's flow analysis
    // from calling the copied optional maybe-uninitialized.
    report.freedBytes = 5'000'000 + c.report.reclaimed.value_or(tarnwick::ReclaimedSpace{}).bytes;
    expectMessage(c, CleaningReportMessage::from(report, trash, 5'000'000));
  }
}

} // namespace
} // namespace quillane
