#include "TarnwickCore/Deletion/CleaningFileSystem.h"
#include "TarnwickCore/Support/UniqueFd.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace tarnwick {
namespace {

using namespace quillane::test;
namespace fs = std::filesystem;

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

} // namespace
} // namespace tarnwick
