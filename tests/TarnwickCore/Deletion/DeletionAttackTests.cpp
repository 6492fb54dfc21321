#include "TarnwickCore/Deletion/DeletionGuard.h"
#include "TarnwickCore/Deletion/SafeCleaningEngine.h"
#include "TestSupport/ScopedMount.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <random>
#include <set>
#include <filesystem>
#include <sys/stat.h>

namespace tarnwick {
namespace {

using namespace quillane::test;

// A home with caches, secrets, links into both, names with white space,
// and (as root) a bind mount of ~/.ssh and a tmpfs inside the cache.
class HostileHome {
public:
  HostileHome() {
    for (const char *file :
         {".cache/a/f", ".cache/b", ".cache/data\n", ".cache/data", ".cache/report.txt ", ".cache/report.txt",
          ".cache/ lead", "Library/Caches/c", ".ssh/id", "Documents/d", "notes", ".config/app/rc",
          ".config/app/GPUCache/g", ".mozilla/profile/key", "Music/m", ".local/share/keyrings/k",
          "snap/firefox/common/.mozilla/p", "snap/firefox/common/.cache/c"})
      tree.writeFile(file, 1);
    tree.makeSymlink(".cache/toSsh", "../.ssh");
    tree.makeSymlink(".cache/toDocuments", "../Documents/d");
    tree.makeSymlink("link", ".cache");
    tree.makeDirectory(".cache/sshView");
    tree.makeDirectory(".cache/mnt");
    sshView = std::make_unique<ScopedMount>(ScopedMount::bind(tree.path(".ssh"), tree.path(".cache/sshView")));
    tmpfs = std::make_unique<ScopedMount>(ScopedMount::tmpfs(tree.path(".cache/mnt")));
    if (tmpfs->mounted())
      tree.writeFile(".cache/mnt/inside", 1);
  }

  // A path made of random parts, below the home or /tmp.
  std::string randomPath(std::mt19937 &random) const {
    static const std::vector<std::string> parts = {
        ".cache", "a",     "f",        "b",      "data\n",  "data",     "report.txt ", " lead", "Library", "Caches",
        "c",      ".ssh",  "id",       "Documents", "d",    "notes",    ".config",     "app",   "GPUCache", "g",
        ".mozilla", ".local", "share", "keyrings", "snap",  "firefox",  "common",      "toSsh", "toDocuments", "link",
        "sshView", "mnt",  "inside",   ".",      "",        "..",       "...",         "missing"};
    std::string path = random() % 8 == 0 ? "/tmp" : tree.root();
    if (random() % 2 == 0) // reach approvable paths more often
      path += "/.cache";
    for (int depth = 1 + random() % 5; depth > 0; --depth)
      path += "/" + parts[random() % parts.size()];
    if (random() % 4 == 0)
      path += "/";
    return path;
  }

  TempTree tree;
  std::unique_ptr<ScopedMount> sshView, tmpfs;
};

bool isAtOrBelow(const std::string &path, const std::string &root) {
  return path == root || path.starts_with(root + "/");
}

TEST(DeletionAttackTest, RandomPathsNeverApproveWhatMustStay) {
  HostileHome hostile;
  const std::string home = hostile.tree.root();
  const ProtectedSnapshot protectedNow = ProtectedLocations::snapshot(home, GuardFileFacts::system());
  std::mt19937 random(5);
  int approvals = 0;
  for (int round = 0; round < 20'000; ++round) {
    const std::string path = hostile.randomPath(random);
    ApprovedDeletion approved;
    try {
      approved = DeletionGuard::approve(path, home, random() % 2 == 0, &protectedNow);
    } catch (const DeletionGuardError &) {
      continue;
    }
    ++approvals;
    SCOPED_TRACE(path);
    ASSERT_TRUE(approved.path.starts_with(home + "/")) << approved.path;
    struct stat st;
    ASSERT_EQ(::lstat(approved.path.c_str(), &st), 0) << approved.path;
    ASSERT_FALSE(S_ISLNK(st.st_mode)) << approved.path;
    char *real = ::realpath(approved.path.c_str(), nullptr);
    ASSERT_NE(real, nullptr);
    EXPECT_EQ(std::string(real), approved.path) << "approved through a linked folder";
    std::free(real);
    const std::string relative = approved.path.substr(home.size() + 1);
    for (std::string_view secret : {".ssh", ".config", ".mozilla", "Documents", "Music", ".local", ".local/share",
                                    "snap", "snap/firefox", "snap/firefox/common"})
      ASSERT_NE(relative, secret);
    for (std::string_view secret : {".ssh/", ".mozilla/", ".local/share/keyrings", "snap/firefox/common/.mozilla",
                                    ".cache/sshView", ".config/app/rc"})
      ASSERT_FALSE(relative.starts_with(secret)) << approved.path;
    if (hostile.tmpfs->mounted()) {
      ASSERT_NE(relative, ".cache/mnt");
      ASSERT_NE(relative, ".cache") << "a folder holding a mount point was approved";
    }
  }
  EXPECT_GT(approvals, 100); // the generator reaches approvable paths at all
}

// Every ("device inode", path) under `root`, mounts included.
std::set<std::pair<std::string, std::string>> inventory(const std::string &root) {
  std::set<std::pair<std::string, std::string>> entries;
  for (std::filesystem::recursive_directory_iterator it(root), end; it != end; ++it) {
    struct stat st;
    if (::lstat(it->path().c_str(), &st) == 0)
      entries.emplace(std::to_string(st.st_dev) + " " + std::to_string(st.st_ino), it->path().native());
  }
  return entries;
}

// A real removal or move of whatever the guard approves changes nothing
// outside the candidate, checked by listing every inode before and after.
TEST(DeletionAttackTest, ApprovedRemovalsTouchNothingOutsideTheCandidate) {
  std::mt19937 random(11);
  int acted = 0;
  for (int round = 0; round < 40; ++round) {
    HostileHome hostile;
    const std::string home = hostile.tree.root();
    std::string path;
    std::optional<ApprovedDeletion> approved;
    const ProtectedSnapshot protectedNow = ProtectedLocations::snapshot(home, GuardFileFacts::system());
    for (int attempt = 0; attempt < 400 && !approved; ++attempt) {
      path = hostile.randomPath(random);
      try {
        approved = DeletionGuard::approve(path, home, true, &protectedNow);
      } catch (const DeletionGuardError &) {
      }
    }
    if (!approved)
      continue;
    SCOPED_TRACE(path);
    const auto before = inventory(home);
    const DeletionMode mode = round % 2 ? DeletionMode::permanentDelete : DeletionMode::moveToTrash;
    SafeCleaningEngine engine(home, std::make_shared<SystemCleaningFileSystem>(
                                        FreedesktopTrash(home, home + "/.local/share")));
    CleanableItem item;
    item.path = path;
    item.isSelected = true;
    const SafeCleaningReport report = engine.clean({item}, mode, true);
    EXPECT_EQ(report.cleanedPaths.size(), 1u) << (report.errors.empty() ? "" : report.errors.begin()->second);
    ++acted;
    const auto after = inventory(home);
    std::set<std::string> inodesAfter;
    for (const auto &entry : after)
      inodesAfter.insert(entry.first);
    for (const auto &entry : before) {
      if (after.contains(entry))
        continue;
      ASSERT_TRUE(isAtOrBelow(entry.second, approved->path)) << "lost " << entry.second;
      if (mode == DeletionMode::moveToTrash) {
        EXPECT_TRUE(inodesAfter.contains(entry.first)) << "not in the Trash: " << entry.second;
      }
    }
    for (const auto &entry : after) {
      const bool inATrash = isAtOrBelow(entry.second, home + "/.local/share/Trash") ||
                            entry.second.find("/.Trash-") != std::string::npos;
      ASSERT_TRUE(before.contains(entry) || inATrash) << "appeared " << entry.second;
    }
  }
  EXPECT_GT(acted, 20);
}

} // namespace
} // namespace tarnwick
