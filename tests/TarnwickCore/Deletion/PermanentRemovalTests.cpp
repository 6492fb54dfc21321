#include "TarnwickCore/Deletion/CleaningFileSystem.h"
#include "TarnwickCore/Deletion/PermanentRemoval.h"
#include "TarnwickCore/Deletion/RemovalQuarantine.h"
#include "TarnwickCore/Support/ScopeExit.h"
#include "TarnwickCore/Support/UniqueFd.h"
#include "TestSupport/ScopedMount.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <optional>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace tarnwick {
namespace {

using namespace quillane::test;
namespace fs = std::filesystem;

TEST(PermanentRemovalTest, RemovesLinksNeverWhatTheyPointAt) {
  TempTree tree;
  for (const char *file : {"keep/precious", "victim/a/b/file", "other/file", "single"})
    tree.writeFile(file, 10);
  tree.makeSymlink("victim/a/toKeep", "../../keep");
  tree.makeSymlink("victim/toPrecious", "../keep/precious");
  tree.makeSymlink("linkToKeep", "keep");

  for (const char *name : {"linkToKeep", "victim"}) { // the link, not the folder
    ASSERT_TRUE(removePermanently(tree.path(name)));
    EXPECT_FALSE(fs::exists(fs::symlink_status(tree.path(name))));
  }
  EXPECT_TRUE(fs::exists(tree.path("keep/precious")));

  EXPECT_FALSE(removePermanently(tree.path("missing")));
  // Another file than the one expected stays, folder or not.
  struct stat st;
  ASSERT_EQ(::stat(tree.path("keep").c_str(), &st), 0);
  const UniqueFd root(::open(tree.root().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  for (const char *name : {"other", "single"})
    EXPECT_FALSE(removePermanently(root.get(), name, tree.path(name), FileIdentity{st.st_dev, st.st_ino}));
  // Moved aside into a private folder first, another file is put back.
  EXPECT_FALSE(RemovalQuarantine::enter(root.get(), "single", tree.path("single"), FileIdentity{st.st_dev, st.st_ino}));
  EXPECT_TRUE(fs::exists(tree.path("other/file")) && fs::exists(tree.path("single")));
  EXPECT_EQ(runCommand("ls -A " + shellQuote(tree.root()) + " | grep -c quillane"), "0\n");
  EXPECT_FALSE(removePermanently("relative/path"));
}

// Deeper than the descriptor limit allows folders open at once (a desktop's
// 1,024 against 1,100 levels, here 40 against 300), and than a path can
// name. A folder left deep down (a mount) is said once, and not entered
// again when the folders above it are found again on the way up.
TEST(PermanentRemovalTest, RemovesTreesDeeperThanTheDescriptorLimitAndPathMax) {
  TempTree tree;
  static_assert(300 * 21 > PATH_MAX);
  tree.makeDeepChain("deep", std::string(20, 'r'), 300, 0);
  tree.makeDeepChain("kept", "d", 300, 0);
  std::optional<ScopedMount> mounted;
  if (::geteuid() == 0) {
    std::string middle = tree.path("kept");
    for (int level = 0; level < 200; ++level)
      middle += "/d";
    mounted.emplace(ScopedMount::tmpfs(middle));
    ASSERT_TRUE(mounted->mounted());
  }
  struct rlimit before;
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &before), 0);
  struct rlimit low = before;
  low.rlim_cur = 40;
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
  const Result<void> deep = removePermanently(tree.path("deep"));
  const Result<void> kept = removePermanently(tree.path("kept"));
  ::setrlimit(RLIMIT_NOFILE, &before);
  EXPECT_TRUE(deep) << deep.failure().message();
  EXPECT_FALSE(fs::exists(tree.path("deep")));
  if (mounted) {
    ASSERT_FALSE(kept);
    EXPECT_TRUE(kept.failure().message().find("not entered") != std::string::npos &&
                kept.failure().message().find("more)") == std::string::npos)
        << kept.failure().message();
  }
}

// A mount that appears inside a folder after it was checked (or was never
// checked, through the path overload) is not entered: what is mounted
// stays whole, the rest goes, and the failure names what was left.
TEST(PermanentRemovalTest, NeverLeavesTheItemsOwnMount) {
  TempTree tree;
  for (const char *file : {"secret/key", "victim/a/file", "victim/b/file"})
    tree.writeFile(file, 10);
  tree.makeDirectory("victim/a/view");
  tree.makeDirectory("victim/b/tmp");
  auto bind = ScopedMount::bind(tree.path("secret"), tree.path("victim/a/view"));
  if (!bind.mounted())
    GTEST_SKIP() << "mounting needs root";
  auto tmpfs = ScopedMount::tmpfs(tree.path("victim/b/tmp"));
  ASSERT_TRUE(tmpfs.mounted());
  tree.writeFile("victim/b/tmp/other", 10);

  const Result<void> removed = removePermanently(tree.path("victim"));
  ASSERT_FALSE(removed) << "reported success";
  EXPECT_NE(removed.failure().message().find("another file system is mounted there"), std::string::npos)
      << removed.failure().message();
  for (const auto &[path, kept] : {std::pair{"secret/key", true}, {"victim/b/tmp/other", true},
                                   {"victim/a/file", false}, {"victim/b/file", false}})
    EXPECT_EQ(fs::exists(tree.path(path)), kept) << path;
  // A mount point itself is refused outright.
  EXPECT_FALSE(removePermanently(tree.path("victim/a/view")));
  EXPECT_TRUE(fs::exists(tree.path("secret/key")));
}

// `path` as the guard would approve it: a real path, and the file there now.
ApprovedDeletion approvedAt(const std::string &path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0)
    ADD_FAILURE() << "no " << path;
  return {path, path, FileIdentity{st.st_dev, st.st_ino}, 0, S_ISDIR(st.st_mode)};
}

SystemCleaningFileSystem fileSystemAt(const TempTree &home) {
  return SystemCleaningFileSystem(FreedesktopTrash(home.root(), home.path(".local/share")));
}

// Every path below `root` with its device and inode, mounts included.
std::map<std::string, std::pair<dev_t, ino_t>> inventory(const std::string &root) {
  std::map<std::string, std::pair<dev_t, ino_t>> entries;
  for (fs::recursive_directory_iterator it(root), end; it != end; ++it) {
    struct stat st;
    if (::lstat(it->path().c_str(), &st) == 0)
      entries[it->path().native()] = {st.st_dev, st.st_ino};
  }
  return entries;
}

// `before` without `removed` and everything below it.
std::map<std::string, std::pair<dev_t, ino_t>> without(std::map<std::string, std::pair<dev_t, ino_t>> before,
                                                       const std::string &removed) {
  std::erase_if(before, [&](const auto &entry) {
    return entry.first == removed || entry.first.starts_with(removed + "/");
  });
  return before;
}

int privateFoldersIn(const std::string &folder) {
  int count = 0;
  for (const auto &entry : fs::directory_iterator(folder))
    count += entry.path().filename().native().starts_with(".quillane-removing-");
  return count;
}

// A forced exit (a second Ctrl-C) while a folder is being removed: what is
// left is back under its own name the moment stopRemovalsForExit()
// returns, while the removal is still running, and the caller is told so.
TEST(RemovalQuarantineTest, AForcedExitPutsBackWhatTheRemovalHasNotRemovedYet) {
  TempTree home;
  // Enough names that removing them takes a while (a third of a second
  // here); hard links of one file, as they are made much faster than files.
  home.writeFile("victim/file", 10);
  for (int folder = 0; folder < 40; ++folder) {
    const std::string name = "victim/d" + std::to_string(folder);
    home.makeDirectory(name);
    const UniqueFd at(::open(home.path(name).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    for (int link = 0; link < 1000; ++link)
      ASSERT_EQ(::linkat(AT_FDCWD, home.path("victim/file").c_str(), at.get(), std::to_string(link).c_str(), 0), 0);
  }
  home.writeFile("beside", 10);
  SystemCleaningFileSystem fileSystem = fileSystemAt(home);
  const ApprovedDeletion item = approvedAt(home.path("victim"));
  std::atomic<bool> ended = false;
  std::optional<Result<void>> removed;
  std::jthread removal([&] {
    removed = fileSystem.removeItem(item);
    ended = true;
  });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!ended && privateFoldersIn(home.root()) == 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::yield();
  const std::vector<Failure> left = fileSystem.stopRemovalsForExit();
  ASSERT_FALSE(ended) << "the removal ended before it could be stopped: the tree is too small to test this";
  EXPECT_TRUE(fs::is_directory(fs::symlink_status(home.path("victim"))));
  EXPECT_EQ(privateFoldersIn(home.root()), 0);
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left.front().path, item.path);
  EXPECT_NE(left.front().reason.find("back under its name"), std::string::npos) << left.front().message();

  removal.join();
  // The removal ran on into what was put back; it reports that it could
  // not finish, and left nothing hidden behind.
  ASSERT_TRUE(removed.has_value());
  EXPECT_FALSE(*removed);
  EXPECT_TRUE(fs::exists(home.path("victim")));
  EXPECT_TRUE(fs::exists(home.path("beside")));
  EXPECT_EQ(privateFoldersIn(home.root()), 0);
  // No removal starts once the process is to end.
  home.writeFile("later", 10);
  EXPECT_FALSE(fileSystem.removeItem(approvedAt(home.path("later"))));
  EXPECT_TRUE(fs::exists(home.path("later")));
}

// A removal whose process was killed leaves its private folder behind;
// the next removal in that folder puts what it holds back under its name,
// but never a folder a running removal holds, nor another user's, nor over
// a name taken since.
TEST(RemovalQuarantineTest, WhatAnEndedRemovalLeftGoesBackWithTheNextRemovalThere) {
  TempTree home;
  const auto leftBehind = [&](const std::string &folder, const std::string &entry) {
    home.writeFile(folder + "/" + entry + "/inner", 10);
    fs::permissions(home.path(folder), fs::perms::owner_all, fs::perm_options::replace);
  };
  leftBehind(".quillane-removing-ended", "victim");
  leftBehind(".quillane-removing-running", "busy");
  const UniqueFd running(::open(home.path(".quillane-removing-running").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  ASSERT_EQ(::flock(running.get(), LOCK_EX | LOCK_NB), 0);
  leftBehind(".quillane-removing-taken", "clash");
  home.writeFile("clash", 10);
  leftBehind(".quillane-removing-shared", "open");
  fs::permissions(home.path(".quillane-removing-shared"), fs::perms::group_read, fs::perm_options::add);
  if (::geteuid() == 0) {
    leftBehind(".quillane-removing-theirs", "theirs");
    ASSERT_EQ(::chown(home.path(".quillane-removing-theirs").c_str(), 65534, 65534), 0);
  }
  home.writeFile("other", 10);

  ASSERT_TRUE(fileSystemAt(home).removeItem(approvedAt(home.path("other"))));
  EXPECT_FALSE(fs::exists(home.path("other")));
  EXPECT_TRUE(fs::exists(home.path("victim/inner")));
  EXPECT_FALSE(fs::exists(home.path(".quillane-removing-ended")));
  for (const char *kept : {".quillane-removing-running/busy", ".quillane-removing-taken/clash",
                           ".quillane-removing-shared/open"})
    EXPECT_TRUE(fs::exists(home.path(kept))) << kept;
  EXPECT_FALSE(fs::exists(home.path("busy")));
  EXPECT_FALSE(fs::exists(home.path("open")));
  EXPECT_EQ(::geteuid() == 0, fs::exists(home.path(".quillane-removing-theirs/theirs")));
  EXPECT_FALSE(fs::exists(home.path("theirs")));
}

// On a file system with no inode left, no private folder can be made
// beside an item; it is removed where it is all the same (a folder, a
// file, a name no text encoding reads, a link), and nothing else changes:
// not the link's target, not a hard link's other name.
TEST(RemovalQuarantineTest, RemovesInPlaceWhenNoFolderCanBeMade) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "mounting a full file system needs root";
  TempTree home;
  home.makeDirectory("full");
  const ScopedMount full = ScopedMount::tmpfs(home.path("full"), "nr_inodes=32");
  ASSERT_TRUE(full.mounted());
  const std::string oddName = "odd\nname\xff";
  for (const std::string &file : {std::string("full/tree/sub/file"), std::string("full/tree/top"),
                                  std::string("full/file"), "full/" + oddName, std::string("outside")})
    home.writeFile(file, 10);
  home.makeHardLink("full/file", "full/other-name");
  home.makeSymlink("full/link", "../outside");
  for (int i = 0;; ++i) {
    const std::string filler = home.path("full/filler" + std::to_string(i));
    const UniqueFd made(::open(filler.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644));
    if (!made) {
      ASSERT_EQ(errno, ENOSPC);
      break;
    }
  }
  ASSERT_NE(::mkdir(home.path("full/probe").c_str(), 0700), 0);
  ASSERT_EQ(errno, ENOSPC);

  SystemCleaningFileSystem fileSystem = fileSystemAt(home);
  for (const std::string &name : {std::string("tree"), std::string("file"), oddName, std::string("link")}) {
    SCOPED_TRACE(name);
    const std::string path = home.path("full/" + name);
    const auto expected = without(inventory(home.root()), path);
    const Result<void> removed = fileSystem.removeItem(approvedAt(path));
    ASSERT_TRUE(removed) << removed.failure().message();
    EXPECT_EQ(inventory(home.root()), expected);
  }
  EXPECT_EQ(readFile(home.path("full/other-name")), std::string(10, 'q'));
  EXPECT_EQ(readFile(home.path("outside")), std::string(10, 'q'));
}

// A folder that keeps its entries (append-only) refuses the removal, and
// is left as it was: no private folder that could never go again.
TEST(RemovalQuarantineTest, RefusesInAFolderThatKeepsItsEntriesAndLeavesNothingThere) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "setting the append-only attribute needs root";
  TempTree home;
  home.writeFile("kept/file", 10);
  home.writeFile("kept/folder/inner", 10);
  int status = 0;
  runCommand("chattr +a " + shellQuote(home.path("kept")) + " 2>&1", &status);
  if (status != 0)
    GTEST_SKIP() << "the temporary folder's file system has no append-only attribute";
  const ScopeExit unlock([&] { runCommand("chattr -a " + shellQuote(home.path("kept"))); });
  const auto before = inventory(home.root());
  SystemCleaningFileSystem fileSystem = fileSystemAt(home);
  for (const char *name : {"kept/file", "kept/folder"}) {
    SCOPED_TRACE(name);
    const Result<void> removed = fileSystem.removeItem(approvedAt(home.path(name)));
    ASSERT_FALSE(removed);
    EXPECT_EQ(removed.failure().errorNumber, EPERM) << removed.failure().message();
    EXPECT_EQ(inventory(home.root()), before);
  }
}

} // namespace
} // namespace tarnwick
