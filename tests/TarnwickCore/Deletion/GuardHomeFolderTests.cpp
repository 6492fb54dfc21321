// Which home folder the guard judges by: none when it is unusable, and one
// home by either name when it is reached through a link.
#include "TarnwickCore/Deletion/TableFacts.h"
#include "TarnwickCore/Support/ScopeExit.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace tarnwick {
namespace {

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

} // namespace
} // namespace tarnwick
