// Links, immutable files and mounts on the real file system: bind mounts of
// protected folders, mount points, stacked and union mounts.
#include "TarnwickCore/Deletion/TableFacts.h"
#include "TarnwickCore/Support/ScopeExit.h"
#include "TestSupport/ScopedMount.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using quillane::test::ScopedMount;
using quillane::test::TempTree;

TEST(GuardMountAndLinkTest, RealLinksAndImmutableFilesAreRefused) {
  TempTree tree;
  const std::string fakeHome = tree.root();
  tree.writeFile(".cache/target", 10);
  tree.makeSymlink(".cache/link", "target");
  tree.makeSymlink(".cache/dangling", "nowhere");
  auto refusal = [&](const std::string &relative) { return realRefusal(tree.path(relative), fakeHome, false).first; };
  EXPECT_EQ(refusal(".cache/target"), std::nullopt);
  EXPECT_EQ(refusal(".cache/link"), Kind::symbolicLinkNotAllowed);
  EXPECT_EQ(refusal(".cache/dangling"), Kind::symbolicLinkNotAllowed) << "a link, not a missing file";
  // What the system will not look at is not missing: the reason is named.
  tree.makeSymlink(".cache/loop", "loop");
  EXPECT_EQ(realRefusal(tree.path(".cache/loop/x"), fakeHome, false),
            Outcome(Kind::pathCannotBeExamined, "Too many levels of symbolic links"));
  std::string tooLong = tree.path(".cache");
  while (tooLong.size() <= PATH_MAX)
    tooLong += "/" + std::string(200, 'd');
  EXPECT_EQ(realRefusal(tooLong, fakeHome, false), Outcome(Kind::pathCannotBeExamined, "File name too long"));
  EXPECT_EQ(refusal(".cache/target/x"), Kind::pathDoesNotExist) << "a file on the way";
  // A linked folder inside an allowlisted one must not open a way out of it.
  tree.writeFile(".ssh/id_rsa", 10);
  tree.makeSymlink(".cache/toSsh", "../.ssh");
  EXPECT_EQ(refusal(".cache/toSsh/id_rsa"), Kind::symbolicLinkNotAllowed);

  // Setting the immutable attribute needs root and a file system that has it.
  const std::string quoted = quillane::test::shellQuote(tree.path(".cache/target"));
  int status = 0;
  quillane::test::runCommand("chattr +i " + quoted + " 2>/dev/null", &status);
  if (status != 0)
    GTEST_SKIP() << "cannot set the immutable attribute here (needs root)";
  // Cleared again whatever happens, or the scratch tree could not be removed.
  const ScopeExit clear([&] { quillane::test::runCommand("chattr -i " + quoted); });
  EXPECT_EQ(refusal(".cache/target"), Kind::sipOrSystemImmutable);
}

TEST(GuardMountAndLinkTest, BindMountsAndMountPointsAreRecognisedOnTheRealSystem) {
  TempTree tree;
  const std::string fakeHome = tree.root();
  for (const char *file : {".ssh/id_rsa", ".local/share/keyrings/login.keyring"})
    tree.writeFile(file, 10);
  for (const char *folder : {".cache/sshView", ".cache/mirror", ".cache/tmp", ".cache/holder/inner"})
    tree.makeDirectory(folder);
  auto sshView = ScopedMount::bind(tree.path(".ssh"), tree.path(".cache/sshView"));
  if (!sshView.mounted())
    GTEST_SKIP() << "bind mounts need root";
  auto mirror = ScopedMount::bind(fakeHome, tree.path(".cache/mirror"));
  auto tmpfs = ScopedMount::tmpfs(tree.path(".cache/holder/inner"));
  ASSERT_TRUE(mirror.mounted() && tmpfs.mounted());
  tree.writeFile(".cache/holder/inner/x", 10);

  auto refusal = [&](const std::string &relative) { return realRefusal(tree.path(relative), fakeHome); };
  EXPECT_EQ(refusal(".cache/sshView"), Outcome(Kind::blockedProtectedPath, ""));
  EXPECT_EQ(refusal(".cache/sshView/id_rsa"), Outcome(Kind::blockedProtectedPath, ""));
  EXPECT_EQ(refusal(".cache/mirror/.ssh/id_rsa"), Outcome(Kind::blockedProtectedPath, ""));
  EXPECT_EQ(refusal(".cache/mirror/.local"), Outcome(Kind::containsProtectedLocation, tree.path(".local/share/keyrings")));
  EXPECT_EQ(refusal(".cache/holder"), Outcome(Kind::containsMountPoint, tree.path(".cache/holder/inner")));
  EXPECT_EQ(refusal(".cache/holder/inner"), Outcome(Kind::containsMountPoint, tree.path(".cache/holder/inner")));
  EXPECT_EQ(refusal(".cache/holder/inner/x").first, std::nullopt); // inside a mount is fine
  EXPECT_EQ(refusal(".cache/tmp").first, std::nullopt);
}

// Homes whose file system shows only through a bind mount (as btrfs
// subvolumes and container volumes do), protected folders bound from
// elsewhere or reached through a link, and a home that is "/" under
// another name.
TEST(GuardMountAndLinkTest, ProtectionHoldsWhateverTheMountsOfTheHome) {
  TempTree scratch;
  scratch.makeDirectory("volume");
  scratch.makeDirectory("home");
  auto volume = ScopedMount::tmpfs(scratch.path("volume"));
  if (!volume.mounted())
    GTEST_SKIP() << "mounting needs root";
  scratch.writeFile("volume/users/ann/dotfiles/gnupg/private-keys-v1.d/k.key", 10);
  scratch.writeFile("volume/users/ann/vault/ssh/id_rsa", 10);
  scratch.makeSymlink("volume/users/ann/.gnupg", "dotfiles/gnupg");
  for (const char *folder : {"volume/users/ann/.ssh", "volume/users/ann/.cache/pk"})
    scratch.makeDirectory(folder);
  auto home = ScopedMount::bind(scratch.path("volume/users/ann"), scratch.path("home"));
  ASSERT_TRUE(home.mounted());
  volume.unmount(); // the whole file system no longer shows anywhere: only the bind does
  const std::string h = scratch.path("home");
  auto keys = ScopedMount::bind(h + "/dotfiles/gnupg/private-keys-v1.d", h + "/.cache/pk");
  auto ssh = ScopedMount::bind(h + "/vault/ssh", h + "/.ssh");
  ASSERT_TRUE(keys.mounted() && ssh.mounted());
  EXPECT_EQ(realRefusal(h + "/.cache/pk/k.key", h).first, Kind::blockedProtectedPath);
  EXPECT_EQ(realRefusal(h + "/dotfiles", h).first, Kind::containsProtectedLocation);
  EXPECT_EQ(realRefusal(h + "/vault", h).first, Kind::containsProtectedLocation);
  // "/" under another name is no home: nothing is inside it.
  scratch.makeDirectory("root");
  scratch.writeFile("mine", 1);
  auto root = ScopedMount::bind("/", scratch.path("root"));
  ASSERT_TRUE(root.mounted());
  EXPECT_EQ(realRefusal(scratch.path("root") + scratch.path("mine"), scratch.path("root")).first,
            Kind::outsideAllowlistedRoots);
}

// Mounts stacked so that the one listed last is not the one on top, a
// mount hidden under a deeper one, and union mounts whose layers lie in or
// hold a protected folder.
TEST(GuardMountAndLinkTest, StackedAndUnionMountsAreSeenThrough) {
  TempTree tree;
  const std::string h = tree.root();
  for (const char *file : {".gnupg/private-keys-v1.d/k.key", "vault/ssh/id_rsa", "decoy", ".cache/pk2/k.key"})
    tree.writeFile(file, 10);
  for (const char *folder : {"stage", ".cache/pk", "lower", "work", "work2", "lower2", ".cache/ov", ".ssh"})
    tree.makeDirectory(folder);
  auto staged = ScopedMount::bind(h + "/.gnupg/private-keys-v1.d", h + "/stage");
  if (!staged.mounted())
    GTEST_SKIP() << "mounting needs root";
  auto cover = ScopedMount::tmpfs(h + "/.cache/pk");
  auto moved = ScopedMount::move(h + "/stage", h + "/.cache/pk"); // on top, yet listed before the tmpfs
  auto hidden = ScopedMount::bind(h + "/decoy", h + "/.cache/pk2/k.key");
  auto keys = ScopedMount::bind(h + "/.gnupg/private-keys-v1.d", h + "/.cache/pk2");
  auto union1 = ScopedMount::overlay(h + "/lower", h + "/.gnupg/private-keys-v1.d", h + "/work", h + "/.cache/ov");
  auto union2 = ScopedMount::overlay(h + "/lower2", h + "/vault/ssh", h + "/work2", h + "/.ssh");
  ASSERT_TRUE(cover.mounted() && moved.mounted() && hidden.mounted() && keys.mounted() && union1.mounted() &&
              union2.mounted());
  for (const auto &[path, refusal] : std::vector<std::pair<std::string, Kind>>{
           {h + "/.cache/pk/k.key", Kind::blockedProtectedPath}, {h + "/.cache/pk2/k.key", Kind::blockedProtectedPath},
           {h + "/.cache/ov/k.key", Kind::blockedProtectedPath}, {h + "/vault", Kind::containsProtectedLocation},
       })
    EXPECT_EQ(realRefusal(path, h).first, refusal) << path;
}

} // namespace
} // namespace tarnwick
