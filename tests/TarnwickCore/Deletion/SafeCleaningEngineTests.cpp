#include "TarnwickCore/Deletion/DeletionGuardError.h"
#include "TarnwickCore/Deletion/SafeCleaningEngine.h"
#include "TestSupport/ScopedMount.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <set>
#include <thread>
#include <unistd.h>

namespace tarnwick {
namespace {

using namespace quillane::test;
namespace fs = std::filesystem;
using Kind = DeletionGuardError::Kind;

// Records what it was asked to do; fails for chosen paths; can dawdle.
class RecordingFileSystem final : public CleaningFileSystem {
public:
  std::set<std::string> failing;
  std::vector<std::string> calls;
  std::atomic<int> active{0}, mostActive{0};
  Result<void> moveToTrash(const ApprovedDeletion &item) override { return act("trash " + item.path, item.path); }
  Result<void> removeItem(const ApprovedDeletion &item) override { return act("remove " + item.path, item.path); }

private:
  Result<void> act(const std::string &call, const std::string &path) {
    int now = ++active;
    mostActive = std::max(mostActive.load(), now);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    calls.push_back(call);
    --active;
    if (failing.contains(path))
      return Failure{{}, {}, EACCES, {}};
    return {};
  }
};

CleanableItem item(const std::string &path, std::int64_t size, bool selected = true) {
  return {Uuid::random(), "x", "", path, size, CleanableCategory::userCache, selected, true, std::nullopt, {}};
}

// An engine that really trashes (to the Trash in `dataHome` below the home) and removes.
SafeCleaningEngine realEngine(const TempTree &home, const char *dataHome = "data") {
  return {home.root(), std::make_shared<SystemCleaningFileSystem>(FreedesktopTrash(home.root(), home.path(dataHome)))};
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
  auto at = [this](const char *relative) { return home.path(relative); };
  files->failing.insert(at(".cache/c"));
  SafeCleaningEngine engine(home.root(), files);
  std::vector<CleanProgress> progress;
  const std::vector<CleanableItem> items = {item(at(".cache/a"), 100), item(at(".cache/b"), 7, false),
                                            item(at(".ssh/id_rsa"), 50),  item(at(".cache/gone"), 5),
                                            item(at(".cache/c"), 30),     item(at(".cache/d"), 1)};
  SafeCleaningReport report = engine.clean(items, DeletionMode::permanentDelete, false,
                                           [&](const CleanProgress &p) { progress.push_back(p); });

  EXPECT_EQ(report.freedBytes, 101);
  EXPECT_EQ(report.cleanedPaths, (std::vector<std::string>{at(".cache/a"), at(".cache/d")}));
  EXPECT_EQ(report.blockedProtectedPaths, (std::vector<std::string>{at(".ssh/id_rsa"), at(".cache/gone")}));
  // The user reads these: the path and the reason, in the guard's words.
  auto refused = [&](Kind kind, const char *relative) {
    return std::pair{at(relative), std::string(DeletionGuardError(kind, at(relative)).what())};
  };
  EXPECT_EQ(report.errors, (std::map<std::string, std::string>{
                               refused(Kind::blockedProtectedPath, ".ssh/id_rsa"),
                               refused(Kind::pathDoesNotExist, ".cache/gone"),
                               {at(".cache/c"), "Permission denied"}}));

  ASSERT_EQ(progress.size(), 5u); // the unselected item never appears
  const std::int64_t freedBefore[] = {0, 100, 100, 100, 100};
  for (std::size_t i = 0; i < progress.size(); ++i) {
    EXPECT_EQ(progress[i].currentIndex, static_cast<std::int64_t>(i));
    EXPECT_EQ(progress[i].totalCount, 5);
    EXPECT_EQ(progress[i].freedBytes, freedBefore[i]);
  }
  EXPECT_EQ(files->calls, (std::vector<std::string>{"remove " + at(".cache/a"), "remove " + at(".cache/c"),
                                                    "remove " + at(".cache/d")}));
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

// Nothing in a Trash is removed alone, kept entries or not: it would part
// an item from its record. A folder only named like a Trash is no Trash.
TEST_F(SafeCleaningEngineTest, NothingInATrashIsRemovedAlone) {
  // Trashing and removing as such are the attack tests' (every inode checked).
  SafeCleaningEngine engine = realEngine(home, ".local/share");
  auto expectRefused = [&](const std::string &path, std::vector<std::string> kept = {}) {
    EXPECT_TRUE(engine.refusalOf(path, true)) << "a view greys it out beforehand: " << path;
    CleanableItem inTrash = item(path, 10);
    inTrash.keptEntryNames = std::move(kept);
    auto removed = engine.clean({inTrash}, DeletionMode::permanentDelete, true);
    EXPECT_TRUE(removed.cleanedPaths.empty()) << path;
    EXPECT_NE(removed.errors[path].find("it is in the Trash"), std::string::npos) << path;
  };
  home.writeFile(".cache/dir/inner", 10);
  const auto trashed = engine.clean({item(home.path(".cache/a"), 10), item(home.path(".cache/dir"), 10)},
                                    DeletionMode::moveToTrash, false);
  ASSERT_EQ(trashed.cleanedPaths.size(), 2u);
  const std::string t = home.path(".local/share/Trash");
  for (const std::string &path : {t, t + "/files", t + "/info", t + "/files/a", t + "/files/dir",
                                  t + "/files/dir/inner", t + "/info/a.trashinfo"})
    expectRefused(path);
  expectRefused(t + "/files/dir", {"other"});
  for (const char *left : {"/files/a", "/info/a.trashinfo", "/files/dir/inner", "/info/dir.trashinfo"})
    EXPECT_TRUE(fs::exists(t + left)) << left;

  home.writeFile("Documents/Trash/files/report", 10);
  home.writeFile("Documents/Trash/info/report.trashinfo", 10);
  EXPECT_FALSE(engine.refusalOf(home.path("Documents/Trash/files/report"), true));
  auto removed = engine.clean({item(home.path("Documents/Trash/files/report"), 10)}, DeletionMode::permanentDelete, true);
  EXPECT_EQ(removed.cleanedPaths.size(), 1u);
  EXPECT_TRUE(fs::exists(home.path("Documents/Trash/info/report.trashinfo")));

  // On a drive, the user's trash folders in its top directory; another
  // user's is no Trash of ours to empty, so it may go as a whole.
  if (::geteuid() != 0)
    GTEST_SKIP() << "mounting a scratch file system needs root";
  home.makeDirectory("drive");
  auto drive = ScopedMount::tmpfs(home.path("drive"));
  ASSERT_TRUE(drive.mounted());
  const std::string uid = std::to_string(::getuid());
  for (const std::string &file : {".Trash-" + uid + "/files/x", ".Trash/" + uid + "/files/y"}) {
    home.writeFile("drive/" + file, 10);
    expectRefused(home.path("drive/" + file));
    EXPECT_TRUE(fs::exists(home.path("drive/" + file))) << file;
  }
  for (const char *theirs : {".Trash-12345", ".Trash/12345"}) {
    home.writeFile("drive/" + std::string(theirs) + "/info/z", 10);
    const auto removed = engine.clean({item(home.path("drive/" + std::string(theirs)), 10)},
                                      DeletionMode::permanentDelete, true);
    EXPECT_EQ(removed.cleanedPaths.size(), 1u) << theirs;
    EXPECT_FALSE(fs::exists(home.path("drive/" + std::string(theirs)))) << theirs;
  }
}

// Swaps the approved folder for a link to a secret between the guard's
// check and the removal, as a hostile process might.
class SwappingFileSystem final : public CleaningFileSystem {
public:
  SwappingFileSystem(std::string secret, CleaningFileSystem &real) : secret_(std::move(secret)), real_(real) {}
  Result<void> moveToTrash(const ApprovedDeletion &item) override { return swap(item.path), real_.moveToTrash(item); }
  Result<void> removeItem(const ApprovedDeletion &item) override { return swap(item.path), real_.removeItem(item); }

private:
  void swap(const std::string &path) {
    fs::rename(path, path + ".moved");
    fs::create_directory_symlink(secret_, path);
  }
  std::string secret_;
  CleaningFileSystem &real_;
};

TEST_F(SafeCleaningEngineTest, AnEntrySwappedAfterTheCheckIsLeftAlone) {
  SystemCleaningFileSystem real(FreedesktopTrash(home.root(), home.path(".local/share")));
  SafeCleaningEngine engine(home.root(), std::make_shared<SwappingFileSystem>(home.path(".ssh"), real));
  for (DeletionMode mode : {DeletionMode::permanentDelete, DeletionMode::moveToTrash}) {
    home.writeFile(".cache/folder/inside", 10);
    auto report = engine.clean({item(home.path(".cache/folder"), 10)}, mode, false);
    EXPECT_TRUE(report.cleanedPaths.empty());
    EXPECT_NE(report.errors[home.path(".cache/folder")].find("replaced"), std::string::npos);
    EXPECT_TRUE(fs::exists(home.path(".ssh/id_rsa")));
    EXPECT_TRUE(fs::is_symlink(home.path(".cache/folder")));
    EXPECT_TRUE(fs::exists(home.path(".cache/folder.moved/inside")));
    fs::remove(home.path(".cache/folder"));
    fs::remove_all(home.path(".cache/folder.moved"));
  }
}

// Names are acted on byte for byte: a name with white space is never taken
// for its neighbour without it.
TEST_F(SafeCleaningEngineTest, RemovesExactlyTheNameGivenWhiteSpaceIncluded) {
  const std::pair<const char *, const char *> namesAndNeighbours[] = {
      {"data\n", "data"}, {"report.txt ", "report.txt"}, {"notes\xC2\xA0", "notes"}, {" lead", "lead"}};
  SafeCleaningEngine engine = realEngine(home);
  for (const auto &[name, neighbour] : namesAndNeighbours) {
    SCOPED_TRACE(name);
    const std::string target = home.path(std::string(".cache/") + name);
    home.writeFile(std::string(".cache/") + name, 10);
    home.writeFile(std::string(".cache/") + neighbour, 10);
    auto report = engine.clean({item(target, 10)}, DeletionMode::permanentDelete, false);
    EXPECT_EQ(report.cleanedPaths, std::vector<std::string>{target});
    EXPECT_FALSE(fs::exists(target));
    EXPECT_TRUE(fs::exists(home.path(std::string(".cache/") + neighbour)));
  }
}

TEST_F(SafeCleaningEngineTest, AnItemAlreadyCleanedInTheRunIsReportedAsHandled) {
  home.writeFile(".cache/folder/inside", 10);
  SafeCleaningEngine engine = realEngine(home);
  auto report = engine.clean({item(home.path(".cache/a"), 1), item(home.path(".cache/a"), 1),
                              item(home.path(".cache/folder"), 1), item(home.path(".cache/folder/inside/"), 1)},
                             DeletionMode::moveToTrash, false);
  EXPECT_EQ(report.cleanedPaths, (std::vector<std::string>{home.path(".cache/a"), home.path(".cache/folder")}));
  EXPECT_EQ(report.alreadyHandledPaths,
            (std::vector<std::string>{home.path(".cache/a"), home.path(".cache/folder/inside/")}));
  EXPECT_TRUE(report.errors.empty());
  EXPECT_EQ(report.freedBytes, 2);
}

TEST_F(SafeCleaningEngineTest, KeptNamesStayAndEverythingElseGoes) {
  for (DeletionMode mode : {DeletionMode::moveToTrash, DeletionMode::permanentDelete}) {
    SCOPED_TRACE(rawValue(mode));
    TempTree scratch;
    for (const char *file : {".cache/web/Default/Cookies", ".cache/web/Default/Cache/f", ".cache/web/GPUCache/g",
                             ".cache/web/Default/Cache/deep/h", ".cache/web/x", ".cache/web/Profile 1/LOGIN DATA",
                             ".cache/plain/Default/f"})
      scratch.writeFile(file, 10);
    SafeCleaningEngine engine = realEngine(scratch);
    CleanableItem web = item(scratch.path(".cache/web"), 30), plain = item(scratch.path(".cache/plain"), 10);
    web.keptEntryNames = plain.keptEntryNames = {"cookies", "login data"};
    auto report = engine.clean({web, plain}, mode, false);
    EXPECT_EQ(report.cleanedPaths.size(), 2u);
    EXPECT_TRUE(report.errors.empty()) << report.errors.begin()->second;
    const std::vector<std::string> kept = {scratch.path(".cache/web/Default/Cookies"),
                                           scratch.path(".cache/web/Profile 1/LOGIN DATA")};
    auto reportedKept = report.keptPaths[scratch.path(".cache/web")];
    std::sort(reportedKept.begin(), reportedKept.end());
    EXPECT_EQ(reportedKept, kept);
    EXPECT_FALSE(report.keptPaths.contains(scratch.path(".cache/plain")));
    // What remains is exactly the kept files and the folders above them.
    EXPECT_EQ(runCommand("cd " + shellQuote(scratch.path(".cache")) + " && find . -mindepth 1 | sort"),
              "./web\n./web/Default\n./web/Default/Cookies\n./web/Profile 1\n./web/Profile 1/LOGIN DATA\n");
    if (mode == DeletionMode::moveToTrash) { // the outermost entries went whole: one record each
      EXPECT_EQ(runCommand("ls " + shellQuote(scratch.path("data/Trash/info")) + " | sort"),
                "Cache.trashinfo\nGPUCache.trashinfo\nplain.trashinfo\nx.trashinfo\n");
    }
  }
}

} // namespace
} // namespace tarnwick
