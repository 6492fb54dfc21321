#include "TarnwickUI/TrashController.h"

#include "TarnwickCore/Deletion/FreedesktopTrash.h"
#include "TestSupport/TempTree.h"
#include "TestSupport/TrashClient.h"

#include <gtest/gtest.h>

#include <QTest>

#include <fstream>

namespace tarnwick {
namespace {

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
    photosBytes = duBytes(tree.path("home/photos"));
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
  std::int64_t photosBytes = 0;
  TrashController controller{TrashCatalogue(FreedesktopTrash(tree.path("home"), tree.path("data")))};
};

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
  EXPECT_EQ(duBytes(tree.path("home/photos")), photosBytes);
  ASSERT_EQ(scratchItems().size(), 1u);
  EXPECT_EQ(scratchItems()[0].originalPath, tree.path("home/report.pdf"));
  EXPECT_EQ(trashCli("trash-list").find("photos"), std::string::npos) << "trash-cli still sees it";
}

} // namespace
} // namespace tarnwick
