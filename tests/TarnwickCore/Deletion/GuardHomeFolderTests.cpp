// Which home folder the guard judges by: none when it is unusable, and one
// home by either name when it is reached through a link. Then the cache
// folder away from ~/.cache, moved by $XDG_CACHE_HOME or through a link.
#include "TarnwickCore/Deletion/TableFacts.h"
#include "TarnwickCore/Support/ScopeExit.h"
#include "TestSupport/ScopedMount.h"
#include "TestSupport/ScopedVariable.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace tarnwick {
namespace {

using quillane::test::ScopedMount;
using quillane::test::setVariable;
using quillane::test::TempTree;

// Without a usable home folder nothing is inside one: a system folder,
// a folder in a system tree (installed files and services' state would be
// root's own) unless it is the account's home where such trees hold
// homes, or one that is not the user's.
TEST(GuardHomeFolderTest, AnUnusableHomeFolderHoldsNothing) {
  TableFacts files;
  files.add("/home/bob/notes");
  files.entries["/home/bob"].owner = ::geteuid() + 1;
  const char *inside[] = {"/tmp/x", "/usr/local/x", "/home/bob/notes", "/usr/local/lib/tool/index.js",
                          "/var/lib/dpkg/status", "/opt/tool/bin/tool", "/srv/site/index.html", "/var/home/ann/notes"};
  for (const char *path : inside)
    files.add(path);
  files.account = "/var/home/ann";
  for (const char *unusable : {"/", "/usr", "/home/bob", "/usr/local/lib/tool", "/var/lib", "/var/lib/dpkg", "/opt/tool",
                               "/srv/site", "/var/home"})
    for (const char *path : inside)
      EXPECT_THROW(DeletionGuard::validateDeletionCandidate(path, unusable, true, files), DeletionGuardError)
          << unusable << " " << path;
  EXPECT_NO_THROW(DeletionGuard::validateDeletionCandidate("/var/home/ann/notes", "/var/home/ann", true, files));
  files.account = "/root"; // a link into /var, as on image-based systems
  files.realLocations["/root"] = "/var/home/ann";
  EXPECT_NO_THROW(DeletionGuard::validateDeletionCandidate("/var/home/ann/notes", "/var/home/ann", true, files));
  files.realLocations.erase("/root");
  files.account.reset();
  // $HOME set to the folder above the real home does not unprotect it.
  files.add("/srv/parent/ann/.ssh/id_rsa");
  files.account = "/srv/parent/ann";
  for (const char *inside : {"/srv/parent/ann/.ssh/id_rsa", "/srv/parent/ann"})
    EXPECT_THROW(DeletionGuard::validateDeletionCandidate(inside, "/srv/parent", true, files), DeletionGuardError)
        << inside;
  files.account.reset();
  // A relative path when the working folder is gone names nothing.
  TempTree gone;
  const auto back = std::filesystem::current_path();
  std::filesystem::current_path(gone.path(""));
  ::rmdir(gone.root().c_str());
  EXPECT_EQ(refusalOf("tmp/x", files), DeletionGuardError(Kind::pathDoesNotExist, "tmp/x"));
  std::filesystem::current_path(back);
}

// A home reached through a link (/home leading to /var/home) is one home by
// either name: a path by the real one, as a working folder names it, is
// judged and approved by the home's own name, its secrets included. A link
// to a system folder makes no home of it, and lends none of its names.
TEST(GuardHomeFolderTest, AHomeReachedThroughALinkIsOneHomeByEitherName) {
  TempTree tree;
  tree.writeFile("var/home/ann/docs/notes", 1);
  tree.writeFile("var/home/ann/.ssh/id_rsa", 1);
  tree.makeSymlink("home", "var/home");
  tree.makeSymlink("usr", "/usr");
  const std::string h = tree.path("home/ann"), r = tree.path("var/home/ann"), usrLink = tree.path("usr");
  const struct {
    std::string path;
    std::string homeFolder;
    std::string workingFolder; // empty: stays
    std::optional<Kind> refusal;
    std::string reported;
  } cases[] = {
      {h + "/docs/notes", h, "", std::nullopt, h + "/docs/notes"},
      {r + "/docs/notes", h, "", std::nullopt, h + "/docs/notes"},
      {"notes", h, r + "/docs", std::nullopt, h + "/docs/notes"},
      {r + "/.ssh/id_rsa", h, "", Kind::blockedProtectedPath, h + "/.ssh/id_rsa"},
      {"/usr/share", usrLink, "", Kind::outsideAllowlistedRoots, "/usr/share"},
  };
  const std::filesystem::path was = std::filesystem::current_path();
  const ScopeExit back([&] { std::filesystem::current_path(was); });
  for (const auto &c : cases) {
    SCOPED_TRACE(c.path + " in the home " + c.homeFolder);
    std::filesystem::current_path(c.workingFolder.empty() ? was : std::filesystem::path(c.workingFolder));
    try {
      const ApprovedDeletion approved = DeletionGuard::approve(c.path, c.homeFolder, true);
      EXPECT_FALSE(c.refusal) << "approved " << approved.path;
      EXPECT_EQ(approved.path, c.reported);
      EXPECT_EQ(approved.realPath, r + "/docs/notes");
    } catch (const DeletionGuardError &error) {
      ASSERT_TRUE(c.refusal) << error.what();
      EXPECT_EQ(error.kind(), *c.refusal) << error.what();
      EXPECT_EQ(error.path(), c.reported) << error.what();
    }
  }
}

TEST(MovedCacheHomeTest, ACacheHomeMovedByTheEnvironmentIsApprovedInsideOnly) {
  const TempTree tree;
  for (const char *file : {"home/notes.txt", "xdg/tool/blob", "xdg/huggingface/token", "xdg/huggingface/hub/model"})
    tree.writeFile(file, 10);
  const std::string h = tree.path("home");
  const auto home = setVariable("HOME", h.c_str());
  const auto cache = setVariable("XDG_CACHE_HOME", tree.path("xdg").c_str());
  for (const char *path : {"xdg/tool", "xdg/tool/blob", "xdg/huggingface/hub"})
    EXPECT_NO_THROW(DeletionGuard::validateDeletionCandidate(tree.path(path), h, false)) << path;
  for (const char *path : {"xdg", "xdg/huggingface", "xdg/huggingface/token"})
    EXPECT_THROW(DeletionGuard::validateDeletionCandidate(tree.path(path), h, false), DeletionGuardError) << path;
  // Someone else's home, or a relative setting, keeps the cache in ~/.cache.
  const auto relative = setVariable("XDG_CACHE_HOME", "xdg");
  EXPECT_THROW(DeletionGuard::validateDeletionCandidate(tree.path("xdg/tool"), h, false), DeletionGuardError);
  // Nor is a personal folder, or a folder of one's own in a system tree:
  // for root, that would be every system folder.
  tree.writeFile("home/Documents/taxes/2025.pdf", 10);
  const auto documents = setVariable("XDG_CACHE_HOME", tree.path("home/Documents").c_str());
  EXPECT_THROW(DeletionGuard::validateDeletionCandidate(tree.path("home/Documents/taxes"), h, false), DeletionGuardError);
  const TempTree inVar("/var/tmp");
  inVar.writeFile("tool/blob", 10);
  const auto system = setVariable("XDG_CACHE_HOME", inVar.root().c_str());
  EXPECT_THROW(DeletionGuard::validateDeletionCandidate(inVar.path("tool"), h, false), DeletionGuardError);
}

// A ~/.cache that is a link is judged at its real location, where the
// catalogue names its rows; through the link, a path still reaches its
// parent through a link. Only a folder of the user's own away from the home
// and its personal folders, by any name, takes the place of ~/.cache, and
// only through links of the user's own.
TEST(MovedCacheHomeTest, ACacheFolderThatIsALinkIsApprovedInsideItsRealLocationOnly) {
  namespace fs = std::filesystem;
  const TempTree tree;
  for (const char *file : {"home/notes.txt", "home/Downloads/tax/return.pdf", "home/.local/cache/pip/wheel",
                           "disk/cache/tool/blob", "disk/cache/huggingface/token", "disk/cache/.Trash-1000/files/old/x",
                           "disk/docs/taxes/2025.pdf", "disk/shared/tool/blob", "disk/team/mine/tool/blob",
                           "disk/group/tool/blob", "disk/lab/mine/tool/blob", "data/share/app/db", "data/cache/tool/blob",
                           "disk2/music/song.ogg", "disk2/cache/tool/blob"})
    tree.writeFile(file, 10);
  fs::create_directory_symlink(tree.path("disk/docs"), tree.path("home/Documents"));
  fs::create_directory_symlink(tree.path("data/share"), tree.path("home/.local/share"));
  fs::permissions(tree.path("disk/shared"), fs::perms::all);
  fs::permissions(tree.path("disk/group"), fs::perms::group_write, fs::perm_options::add); // or an ACL's grant
  const auto dataHome = setVariable("XDG_DATA_HOME", nullptr); // where it is by default, then
  // Another user's link in a shared folder, as a dangling ~/.cache -> /tmp/x
  // invites, and a folder that another group may write to above one's own.
  fs::create_directory_symlink(tree.path("disk/cache"), tree.path("disk/theirs"));
  const bool root = ::lchown(tree.path("disk/theirs").c_str(), 65534, 65534) == 0;
  if (root) {
    EXPECT_EQ(::chown(tree.path("disk/team").c_str(), 0, 65534), 0);
    fs::permissions(tree.path("disk/team"), fs::perms::group_write, fs::perm_options::add);
    // Sticky, but its owner may rename what is in it.
    EXPECT_EQ(::chown(tree.path("disk/lab").c_str(), 65534, 65534), 0);
    fs::permissions(tree.path("disk/lab"), fs::perms::all | fs::perms::sticky_bit);
  }
  const std::string h = tree.path("home");
  const std::string link = tree.path("home/.cache");
  struct Row {
    std::string linkTarget;
    std::vector<std::string> approved, refused;
  };
  std::vector<Row> rows = {
      {tree.path("disk/cache"),
       {"disk/cache/tool", "disk/cache/tool/blob"},
       {"disk/cache", "disk/cache/huggingface", "disk/cache/huggingface/token", "home/.cache/tool", "disk",
        "disk/cache/.Trash-1000", "disk/cache/.Trash-1000/files/old"}},
      {".local/cache", {}, {"home/.local/cache/pip"}},
      {"Downloads", {}, {"home/Downloads/tax"}},
      {"Documents", {}, {"disk/docs/taxes"}},
      {tree.path("disk/docs"), {}, {"disk/docs/taxes"}},
      {tree.path("disk"), {}, {"disk/docs/taxes", "disk/cache/tool"}}, // holds Documents' real folder
      {".", {}, {"home/notes.txt"}},
      {tree.path("disk/shared"), {}, {"disk/shared/tool"}},
      {tree.path("nowhere"), {}, {"disk/cache/tool"}},
      {tree.path("disk/group"), {}, {"disk/group/tool"}},
      {tree.path("data"), {}, {"data/cache/tool"}}, // holds the data folder
  };
  if (root)
    rows.insert(rows.end(), {{tree.path("disk/theirs"), {}, {"disk/cache/tool"}},
                             {tree.path("disk/team/mine"), {}, {"disk/team/mine/tool"}},
                             {tree.path("disk/lab/mine"), {}, {"disk/lab/mine/tool"}}});
  // A personal folder bound from a disk, held by a cache folder there.
  tree.makeDirectory("home/Music");
  const auto music = ScopedMount::bind(tree.path("disk2/music"), tree.path("home/Music"));
  if (music.mounted())
    rows.push_back({tree.path("disk2"), {}, {"disk2/cache/tool"}});
  // Inside one's own cache folder, another user's file, or another file
  // system mounted there (someone's drive under /mnt), is not one's cache.
  tree.writeFile("disk/cache/theirs/blob", 10);
  const bool othersFile = ::lchown(tree.path("disk/cache/theirs").c_str(), 65534, 65534) == 0;
  tree.makeDirectory("disk/cache/drive");
  const auto drive = ScopedMount::tmpfs(tree.path("disk/cache/drive"));
  if (drive.mounted())
    tree.writeFile("disk/cache/drive/photos/1.jpg", 10);
  if (othersFile)
    rows.push_back({tree.path("disk/cache"), {}, {"disk/cache/theirs"}});
  if (drive.mounted())
    rows.push_back({tree.path("disk/cache"), {}, {"disk/cache/drive/photos"}});
  auto check = [&](const Row &row) {
    SCOPED_TRACE("~/.cache -> " + row.linkTarget);
    fs::remove(link);
    fs::create_directory_symlink(row.linkTarget, link);
    for (const std::string &path : row.approved)
      EXPECT_NO_THROW(DeletionGuard::validateDeletionCandidate(tree.path(path), h, false)) << path;
    for (const std::string &path : row.refused)
      EXPECT_THROW(DeletionGuard::validateDeletionCandidate(tree.path(path), h, false), DeletionGuardError) << path;
  };
  for (const Row &row : rows)
    check(row);
  {
    // A cache folder holding the user's data would offer it as caches.
    const auto data = setVariable("XDG_DATA_HOME", tree.path("disk/cache/share").c_str());
    check({tree.path("disk/cache"), {}, {"disk/cache/tool"}});
  }
  // For root, a folder of others' homes is its own but no cache.
  if (root && fs::is_directory("/home")) {
    const TempTree homes("/home");
    homes.writeFile("sftp/upload", 10);
    fs::remove(link);
    fs::create_directory_symlink("/home", link);
    EXPECT_THROW(DeletionGuard::validateDeletionCandidate(homes.path("sftp"), h, false), DeletionGuardError);
  }
}

} // namespace
} // namespace tarnwick
