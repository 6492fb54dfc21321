#include "TarnwickCore/SafeCleaningEngine.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <set>
#include <thread>

namespace tarnwick {
namespace {

using quillane::test::TempTree;
namespace fs = std::filesystem;

// Records what it was asked to do; fails for chosen paths; can dawdle.
class RecordingFileSystem final : public CleaningFileSystem {
public:
  std::set<std::string> failing;
  std::vector<std::string> calls;
  std::atomic<int> active{0}, mostActive{0};
  void moveToTrash(const std::string &path) override { act("trash " + path, path); }
  void removeItem(const std::string &path) override { act("remove " + path, path); }

private:
  void act(const std::string &call, const std::string &path) {
    int now = ++active;
    mostActive = std::max(mostActive.load(), now);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    calls.push_back(call);
    --active;
    if (failing.contains(path))
      throw std::runtime_error("Permission denied");
  }
};

CleanableItem item(const std::string &path, std::int64_t size, bool selected = true) {
  return {Uuid::random(), "x", "", path, size, CleanableCategory::userCache, selected, true, std::nullopt, {}};
}

class SafeCleaningEngineTest : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char *file : {".cache/a", ".cache/b", ".cache/c", ".cache/d", ".ssh/id_rsa"})
      home.writeFile(file, 10);
  }
  TempTree home;
  std::shared_ptr<RecordingFileSystem> files = std::make_shared<RecordingFileSystem>();
};

TEST_F(SafeCleaningEngineTest, ReportsCleanedBlockedAndFailedItemsWithProgress) {
  files->failing.insert(home.path(".cache/c"));
  SafeCleaningEngine engine(home.root(), files);
  std::vector<CleanProgress> progress;
  const std::vector<CleanableItem> items = {item(home.path(".cache/a"), 100), item(home.path(".cache/b"), 7, false),
                                            item(home.path(".ssh/id_rsa"), 50), item(home.path(".cache/gone"), 5),
                                            item(home.path(".cache/c"), 30), item(home.path(".cache/d"), 1)};
  SafeCleaningReport report = engine.clean(items, DeletionMode::permanentDelete, false,
                                           [&](const CleanProgress &p) { progress.push_back(p); });

  EXPECT_EQ(report.freedBytes, 101);
  EXPECT_EQ(report.cleanedPaths, (std::vector<std::string>{home.path(".cache/a"), home.path(".cache/d")}));
  EXPECT_EQ(report.blockedProtectedPaths,
            (std::vector<std::string>{home.path(".ssh/id_rsa"), home.path(".cache/gone")}));
  ASSERT_EQ(report.errors.size(), 3u);
  EXPECT_EQ(report.errors[home.path(".ssh/id_rsa")],
            "Deletion rejected: Path '" + home.path(".ssh/id_rsa") +
                "' is a protected system or user crown-jewel directory.");
  EXPECT_EQ(report.errors[home.path(".cache/gone")], "Deletion rejected: Path '" + home.path(".cache/gone") +
                                                         "' does not exist.");
  EXPECT_EQ(report.errors[home.path(".cache/c")], "Permission denied");
  EXPECT_GE(report.durationSeconds, 0);

  ASSERT_EQ(progress.size(), 5u); // the unselected item never appears
  const std::int64_t freedBefore[] = {0, 100, 100, 100, 100};
  for (std::size_t i = 0; i < progress.size(); ++i) {
    EXPECT_EQ(progress[i].currentIndex, static_cast<std::int64_t>(i));
    EXPECT_EQ(progress[i].totalCount, 5);
    EXPECT_EQ(progress[i].freedBytes, freedBefore[i]);
  }
  EXPECT_EQ(files->calls, (std::vector<std::string>{"remove " + home.path(".cache/a"), "remove " + home.path(".cache/c"),
                                                    "remove " + home.path(".cache/d")}));
}

TEST_F(SafeCleaningEngineTest, CancellationFinishesTheCurrentItemOnly) {
  SafeCleaningEngine engine(home.root(), files);
  std::stop_source stop;
  SafeCleaningReport report = engine.clean(
      {item(home.path(".cache/a"), 1), item(home.path(".cache/b"), 2), item(home.path(".cache/c"), 4)},
      DeletionMode::moveToTrash, false,
      [&](const CleanProgress &p) {
        if (p.currentIndex == 1)
          stop.request_stop(); // arrives while item 1 is under way
      },
      stop.get_token());
  EXPECT_EQ(report.freedBytes, 3);
  EXPECT_EQ(report.cleanedPaths.size(), 2u);
  EXPECT_EQ(files->calls.size(), 2u);
}

TEST_F(SafeCleaningEngineTest, RunsOneAtATime) {
  SafeCleaningEngine engine(home.root(), files);
  std::vector<CleanableItem> items;
  for (const char *name : {".cache/a", ".cache/b", ".cache/c", ".cache/d"})
    items.push_back(item(home.path(name), 1));
  {
    std::jthread first([&] { engine.clean(items, DeletionMode::moveToTrash, false); });
    std::jthread second([&] { engine.clean(items, DeletionMode::moveToTrash, false); });
  }
  EXPECT_EQ(files->mostActive.load(), 1);
  EXPECT_EQ(files->calls.size(), 8u);
}

TEST_F(SafeCleaningEngineTest, RealTrashAndRemoval) {
  FreedesktopTrash trash(home.root(), home.path(".local/share"));
  SafeCleaningEngine engine(home.root(), std::make_shared<SystemCleaningFileSystem>(trash));
  auto trashed = engine.clean({item(home.path(".cache/a"), 10)}, DeletionMode::moveToTrash, false);
  EXPECT_EQ(trashed.cleanedPaths.size(), 1u);
  EXPECT_TRUE(fs::exists(home.path(".local/share/Trash/files/a")));
  auto removed = engine.clean({item(home.path(".cache/b"), 10)}, DeletionMode::permanentDelete, false);
  EXPECT_EQ(removed.cleanedPaths.size(), 1u);
  EXPECT_FALSE(fs::exists(home.path(".cache/b")));
  EXPECT_FALSE(fs::exists(home.path(".local/share/Trash/files/b")));
}

// Swaps the approved folder for a link to a secret between the guard's
// check and the removal, as a hostile process might.
class SwappingFileSystem final : public CleaningFileSystem {
public:
  SwappingFileSystem(std::string secret, CleaningFileSystem &real) : secret_(std::move(secret)), real_(real) {}
  void moveToTrash(const std::string &path) override { real_.moveToTrash(path); }
  void removeItem(const std::string &path) override {
    fs::rename(path, path + ".moved");
    fs::create_directory_symlink(secret_, path);
    real_.removeItem(path);
  }

private:
  std::string secret_;
  CleaningFileSystem &real_;
};

TEST_F(SafeCleaningEngineTest, ARemovalRacingALinkSwapRemovesOnlyTheLink) {
  home.writeFile(".cache/folder/inside", 10);
  SystemCleaningFileSystem real(FreedesktopTrash(home.root(), home.path(".local/share")));
  SafeCleaningEngine engine(home.root(), std::make_shared<SwappingFileSystem>(home.path(".ssh"), real));
  auto report = engine.clean({item(home.path(".cache/folder"), 10)}, DeletionMode::permanentDelete, false);
  EXPECT_EQ(report.cleanedPaths.size(), 1u);
  EXPECT_TRUE(fs::exists(home.path(".ssh/id_rsa")));
  EXPECT_FALSE(fs::exists(fs::symlink_status(home.path(".cache/folder"))));
}

TEST(DeletionModeTest, OnlyTheCaseNamesConstructAMode) {
  EXPECT_EQ(deletionModeFromRawValue("moveToTrash"), DeletionMode::moveToTrash);
  EXPECT_EQ(deletionModeFromRawValue("permanentDelete"), DeletionMode::permanentDelete);
  EXPECT_FALSE(deletionModeFromRawValue("erase"));
  EXPECT_FALSE(deletionModeFromRawValue("MoveToTrash"));
}

} // namespace
} // namespace tarnwick
