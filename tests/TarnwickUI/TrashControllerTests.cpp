#include "TarnwickUI/TrashController.h"

#include "TarnwickCore/Deletion/FreedesktopTrash.h"
#include "TarnwickUI/TreemapPalette.h"
#include "TestSupport/TempTree.h"
#include "TestSupport/TrashClient.h"

#include <gtest/gtest.h>

#include <QTest>

#include <filesystem>
#include <fstream>

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using namespace quillane::test;

/// A scratch home whose Trash holds a file and a folder, put there by
/// trash-cli (an independent client), and a controller that has listed it.
class TrashControllerTest : public ::testing::Test {
protected:
  void SetUp() override {
    tree.writeFile("home/report.pdf", 48'000);
    tree.writeFile("home/photos/a.jpg", 300'000);
    tree.writeFile("home/photos/b.jpg", 120'000);
    tree.makeDirectory("data");
    sizes = {duBytes(tree.path("home/report.pdf")), duBytes(tree.path("home/photos"))};
    int status = 0;
    trashCli("trash-put " + shellQuote(tree.path("home/report.pdf")) + " " + shellQuote(tree.path("home/photos")),
             &status);
    ASSERT_EQ(status, 0);
    controller.refresh();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !controller.isBusy(); }));
  }

  std::string trashCli(const std::string &command, int *status = nullptr) const {
    return runAtHome(tree.path("home"), tree.path("data"), command + " 2>/dev/null", status);
  }
  // The listed items that lie in the scratch Trash (mounted drives may add others).
  std::vector<TrashedItem> scratchItems() const {
    std::vector<TrashedItem> found;
    for (const TrashedItem &item : controller.items())
      if (item.trashDirectory.starts_with(tree.root()))
        found.push_back(item);
    return found;
  }
  std::size_t indexOf(const std::string &originalPath) const {
    for (std::size_t index = 0; index < controller.items().size(); ++index)
      if (controller.items()[index].originalPath == originalPath)
        return index;
    ADD_FAILURE() << originalPath << " is not listed";
    return controller.items().size();
  }
  void waitIdle() { ASSERT_TRUE(QTest::qWaitFor([&] { return !controller.isBusy(); }, 20'000)); }

  TempTree tree;
  std::vector<std::int64_t> sizes;
  TrashController controller{TrashCatalogue(FreedesktopTrash(tree.path("home"), tree.path("data")))};
};

TEST_F(TrashControllerTest, ListsEachItemWithWhereItCameFromItsDateAndSize) {
  const std::vector<TrashedItem> items = scratchItems();
  ASSERT_EQ(items.size(), 2u);
  const std::vector<std::string> paths = {tree.path("home/report.pdf"), tree.path("home/photos")};
  for (std::size_t which = 0; which < paths.size(); ++which) {
    const TrashedItem &item = controller.items()[indexOf(paths[which])];
    EXPECT_EQ(item.sizeBytes, sizes[which]) << paths[which];
    EXPECT_FALSE(item.deletionDate.empty());
  }
  if (controller.items().size() == items.size()) {
    EXPECT_EQ(controller.totalBytes(), sizes[0] + sizes[1]);
  }
}

// A restore that would replace a file fails, says which, and keeps the item
// listed; the next one succeeds.
TEST_F(TrashControllerTest, RestorePutsTheItemBackButNeverOverAFile) {
  { std::ofstream(tree.path("home/report.pdf")) << "newer"; }
  controller.restore({indexOf(tree.path("home/report.pdf"))});
  waitIdle();
  EXPECT_FALSE(controller.lastSucceeded());
  EXPECT_TRUE(controller.lastMessage().contains(QStringLiteral("report.pdf"))) << controller.lastMessage().toStdString();
  EXPECT_EQ(readFile(tree.path("home/report.pdf")), "newer");

  controller.restore({indexOf(tree.path("home/photos"))});
  EXPECT_TRUE(controller.isRestoring());
  waitIdle();
  EXPECT_TRUE(controller.lastSucceeded()) << controller.lastMessage().toStdString();
  EXPECT_EQ(duBytes(tree.path("home/photos")), sizes[1]);
  ASSERT_EQ(scratchItems().size(), 1u);
  EXPECT_EQ(scratchItems()[0].originalPath, tree.path("home/report.pdf"));
  EXPECT_EQ(trashCli("trash-list").find("photos"), std::string::npos) << "trash-cli still sees it";
}

TEST_F(TrashControllerTest, EmptyRemovesEveryItemAndReportsTheBytesFreed) {
  if (scratchItems().size() != controller.items().size())
    GTEST_SKIP() << "a mounted drive's Trash holds items: emptying would remove them too";
  controller.empty();
  EXPECT_TRUE(controller.isEmptying());
  waitIdle();
  ASSERT_TRUE(controller.lastEmptyReport());
  EXPECT_EQ(controller.lastEmptyReport()->freedBytes, sizes[0] + sizes[1]);
  EXPECT_TRUE(controller.lastSucceeded());
  EXPECT_TRUE(controller.lastMessage().contains(TreemapPalette::formatBytes(sizes[0] + sizes[1])))
      << controller.lastMessage().toStdString();
  EXPECT_TRUE(controller.items().empty());
  EXPECT_TRUE(fs::is_empty(tree.path("data/Trash/files")));
  EXPECT_TRUE(fs::is_empty(tree.path("data/Trash/info")));
  EXPECT_EQ(trashCli("trash-list"), "");
}

} // namespace
} // namespace tarnwick
