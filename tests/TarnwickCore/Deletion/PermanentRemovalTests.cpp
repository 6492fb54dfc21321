#include "TarnwickCore/Deletion/PermanentRemoval.h"
#include "TarnwickCore/Deletion/RemovalQuarantine.h"
#include "TestSupport/ScopedMount.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <climits>
#include <fcntl.h>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <filesystem>
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
  int root = ::open(tree.root().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  for (const char *name : {"other", "single"})
    EXPECT_FALSE(removePermanently(root, name, tree.path(name), FileIdentity{st.st_dev, st.st_ino}));
  // Moved aside into a private folder first, another file is put back.
  EXPECT_FALSE(RemovalQuarantine::enter(root, "single", tree.path("single"), FileIdentity{st.st_dev, st.st_ino}));
  ::close(root);
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

} // namespace
} // namespace tarnwick
