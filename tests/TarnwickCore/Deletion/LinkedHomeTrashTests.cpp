// A home folder reached through a link, as where /home leads to /var/home:
// every item in it has two names, and the Trash records it where it really
// lies, so that its own listing, restore and trash-cli agree on it whichever
// name it was trashed or asked for by. A restore still never passes a link.
#include "TarnwickCore/Deletion/CleaningFileSystem.h"
#include "TarnwickCore/Deletion/DeletionGuard.h"
#include "TarnwickCore/Deletion/FreedesktopTrash.h"
#include "TarnwickCore/Deletion/ScratchTrash.h"
#include "TarnwickCore/Deletion/TrashCatalogue.h"
#include "TarnwickCore/Deletion/TrashInfoText.h"
#include "TarnwickCore/Support/ScopeExit.h"
#include "TestSupport/ScopedMount.h"
#include "TestSupport/TempTree.h"
#include "TestSupport/TrashClient.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace tarnwick {
namespace {

using namespace quillane::test;
namespace fs = std::filesystem;

std::string recordedPath(const std::string &record) { return TrashInfoText::parse(readFile(record)).value().path; }

class LinkedHomeTrashTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (runCommand("command -v trash-put trash-list").empty())
      GTEST_SKIP() << "trash-cli is not installed";
    tree.makeDirectory("var/home/ann/a");
    tree.makeDirectory("elsewhere");
    tree.makeSymlink("home", "var/home");
  }
  // Trashed as the engine does it: approved by the guard (as named by the
  // user), moved by the real file system.
  Result<void> trash(const std::string &path) const {
    try {
      const ApprovedDeletion approved = DeletionGuard::approve(path, home, true);
      return SystemCleaningFileSystem(FreedesktopTrash(home, home + "/.local/share")).moveToTrash(approved);
    } catch (const DeletionGuardError &refusal) {
      return Failure::because(refusal.what());
    }
  }
  TrashListing listing() const { return scratchListing(catalogue, tree.root()); }
  auto clientItems() const { return trashCliItems(home, home + "/.local/share", tree.root()); }

  TempTree tree;
  const std::string home = tree.path("home/ann"), real = tree.path("var/home/ann");
  const std::string homeTrash = real + "/.local/share/Trash";
  TrashCatalogue catalogue{home + "/.local/share/Trash", ::geteuid()};
};

// Through the link, by the real name, and relative to a working folder
// (which the kernel names by the real one): recorded at the real place,
// found by both names, and back there.
TEST_F(LinkedHomeTrashTest, AnItemTrashedByEitherNameIsRecordedWhereItLiesAndComesBack) {
  const struct {
    std::string given;
    std::string workingFolder; // empty: stays
    std::string name;
  } cases[] = {
      {home + "/a/through-link", "", "through-link"},
      {real + "/a/by-real-name", "", "by-real-name"},
      {"relative", real + "/a", "relative"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.given);
    tree.writeFile("var/home/ann/a/" + c.name, 10);
    const std::string was = fs::current_path();
    if (!c.workingFolder.empty())
      fs::current_path(c.workingFolder);
    const Result<void> trashed = trash(c.given);
    fs::current_path(was);
    ASSERT_TRUE(trashed) << trashed.failure().message();

    const std::string place = real + "/a/" + c.name;
    EXPECT_EQ(recordedPath(homeTrash + "/info/" + c.name + ".trashinfo"), place);
    EXPECT_EQ(restorableItems(listing()), clientItems());
    for (const std::string &asked : {home + "/a/" + c.name, place}) {
      const std::optional<TrashedItem> item = TrashCatalogue::latestWithOriginalPath(listing(), asked);
      ASSERT_TRUE(item) << asked;
      EXPECT_EQ(item->originalPath, place);
    }
    const auto item = TrashCatalogue::latestWithOriginalPath(listing(), home + "/a/" + c.name);
    const Result<std::string> back = catalogue.restore(*item);
    ASSERT_TRUE(back) << back.failure().message();
    EXPECT_EQ(readFile(place).size(), 10u);
  }
  EXPECT_TRUE(clientItems().empty());
}

// Another drive mounted below the home: the record is relative to the
// drive's top folder, as its own listing and trash-cli require.
TEST_F(LinkedHomeTrashTest, OnADriveBelowTheHomeTheRecordIsRelativeToItsTop) {
  if (!isRoot())
    GTEST_SKIP() << "mounting a scratch file system needs root";
  tree.makeDirectory("var/home/ann/disk");
  auto disk = ScopedMount::tmpfs(real + "/disk");
  ASSERT_TRUE(disk.mounted());
  tree.writeFile("var/home/ann/disk/d/p", 10);
  const Result<void> trashed = trash(home + "/disk/d/p");
  ASSERT_TRUE(trashed) << trashed.failure().message();
  const std::string top = real + "/disk/.Trash-" + std::to_string(::geteuid());
  EXPECT_EQ(recordedPath(top + "/info/p.trashinfo"), "d/p");

  const TrashListing onDisk = listing();
  ASSERT_EQ(onDisk.items.size(), 1u);
  EXPECT_EQ(onDisk.items.front().recordProblem, "");
  EXPECT_EQ(onDisk.items.front().originalPath, real + "/disk/d/p");
  EXPECT_EQ(restorableItems(listing()), clientItems());
  const auto item = TrashCatalogue::latestWithOriginalPath(onDisk, home + "/disk/d/p");
  ASSERT_TRUE(item);
  const Result<std::string> back = catalogue.restore(*item);
  ASSERT_TRUE(back) << back.failure().message();
  EXPECT_TRUE(fs::exists(real + "/disk/d/p"));
}

// Another client may record an item by the home's linked name: the link
// the Trash itself is reached through is taken, and no other (below).
TEST_F(LinkedHomeTrashTest, ARecordByTheHomesLinkedNameComesBack) {
  tree.writeFile("var/home/ann/.local/share/Trash/files/theirs", 10);
  tree.makeDirectory("var/home/ann/.local/share/Trash/info");
  std::ofstream(homeTrash + "/info/theirs.trashinfo")
      << "[Trash Info]\nPath=" << home << "/a/theirs\nDeletionDate=2024-01-01T00:00:00\n";
  const std::optional<TrashedItem> item = TrashCatalogue::latestWithOriginalPath(listing(), home + "/a/theirs");
  ASSERT_TRUE(item);
  const Result<std::string> back = catalogue.restore(*item);
  ASSERT_TRUE(back) << back.failure().message();
  EXPECT_TRUE(fs::exists(real + "/a/theirs"));
}

// A record naming a link on the way (written so by another client, or
// whose folder became a link since) is found by either name, and refused.
TEST_F(LinkedHomeTrashTest, ARestoreNeverPassesALinkWhicheverNameIsAsked) {
  tree.writeFile("var/home/ann/a/ours", 10);
  ASSERT_TRUE(trash(home + "/a/ours"));
  tree.writeFile("var/home/ann/.local/share/Trash/files/theirs", 10);
  std::ofstream(homeTrash + "/info/theirs.trashinfo")
      << "[Trash Info]\nPath=" << home << "/a/theirs\nDeletionDate=2024-01-01T00:00:00\n";
  // The folder is moved away and a link to another folder takes its name.
  fs::rename(real + "/a", real + "/moved");
  fs::create_directory_symlink(tree.path("elsewhere"), real + "/a");

  for (const char *name : {"theirs", "ours"}) {
    for (const std::string &asked : {home + "/a/" + name, real + "/a/" + name}) {
      SCOPED_TRACE(asked);
      const std::optional<TrashedItem> item = TrashCatalogue::latestWithOriginalPath(listing(), asked);
      ASSERT_TRUE(item);
      const Result<std::string> back = catalogue.restore(*item);
      ASSERT_FALSE(back);
      EXPECT_TRUE(contains(back.failure().reason, "symbolic link")) << back.failure().message();
    }
    EXPECT_TRUE(fs::exists(homeTrash + "/files/" + name));
  }
  EXPECT_TRUE(fs::is_empty(tree.path("elsewhere")));
}

} // namespace
} // namespace tarnwick
