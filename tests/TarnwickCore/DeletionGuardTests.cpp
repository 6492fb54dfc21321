#include "TarnwickCore/DeletionGuard.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <random>
#include <sys/stat.h>
#include <memory>

namespace tarnwick {
namespace {

using Kind = DeletionGuardError::Kind;
const std::string home = "/home/ann";

// A file system described by a table: path → (symbolic link, immutable).
class TableFacts final : public GuardFileFacts {
public:
  std::map<std::string, LinkStatus> entries;
  bool exists(const std::string &path) const override {
    auto found = entries.find(path);
    return found != entries.end() && !found->second.isSymbolicLink; // links here dangle
  }
  std::optional<std::string> canonicalPath(const std::string &path) const override { return path; }
  std::optional<LinkStatus> linkStatus(const std::string &path) const override {
    auto found = entries.find(path);
    if (found == entries.end())
      return std::nullopt;
    return found->second;
  }
};

struct Case {
  std::string path;
  bool confirmed;
  std::optional<Kind> refusal; // nothing: approved
  std::string reported;        // the error's path, or the approved path
};

TEST(DeletionGuardTest, ChecksRunInOrderAndTheFirstRefusalDecides) {
  TableFacts files;
  for (const char *existing :
       {"/home/ann/Library/Caches", "/home/ann/Library/Caches/x", "/home/ann/notes.txt", "/home/ann/Documents",
        "/home/ann/Documents/old/x", "/tmp/x", "/usr/local/x", "/opt/homebrew/Library/CachesOld/x",
        "/home/ann/.cache/pip", "/home/ann/Library/CachesOld", "/home/ann/Library/Preferences/x.plist"})
    files.entries[existing] = {};
  files.entries["/home/ann/.cache/frozen"] = {false, true};

  const Case cases[] = {
      {" \n\t", false, Kind::emptyPath, ""},
      {"\xE2\x80\x83 ", false, Kind::emptyPath, ""}, // an em space is white space too
      {"a/../b", false, Kind::pathTraversalAttempt, "a/../b"},
      {" /x/.. ", false, Kind::pathTraversalAttempt, "/x/.."},
      {"..", false, Kind::pathTraversalAttempt, ".."},
      {"/", true, Kind::blockedProtectedPath, "/"},
      {"/Users/", true, Kind::blockedProtectedPath, "/Users"},
      {"/home", true, Kind::blockedProtectedPath, "/home"},
      {"/usr/local/x", false, Kind::outsideAllowlistedRoots, "/usr/local/x"},
      {"/home/ann/", true, Kind::blockedProtectedPath, "/home/ann"},
      {"/home/ann/.ssh/id_rsa", true, Kind::blockedProtectedPath, "/home/ann/.ssh/id_rsa"}, // before existence
      {"/home/ann/.password-store/mail.gpg", true, Kind::blockedProtectedPath, "/home/ann/.password-store/mail.gpg"},
      {"/home/ann/.local/share/keyrings/login.keyring", true, Kind::blockedProtectedPath,
       "/home/ann/.local/share/keyrings/login.keyring"},
      {"/home/ann/Library/Keychains/login.keychain-db", true, Kind::blockedProtectedPath,
       "/home/ann/Library/Keychains/login.keychain-db"},
      {"/home/ann/Documents", true, Kind::blockedProtectedPath, "/home/ann/Documents"},
      {"/home/ann/Library/Caches/missing", false, Kind::pathDoesNotExist, "/home/ann/Library/Caches/missing"},
      {"/home/ann/.cache/frozen", false, Kind::sipOrSystemImmutable, "/home/ann/.cache/frozen"},
      {"/home/ann/Library/Caches", false, std::nullopt, "/home/ann/Library/Caches"},
      {"/home/ann/Library/Caches/./x/", false, std::nullopt, "/home/ann/Library/Caches/x"},
      {"//home//ann/Library//Caches/x", false, std::nullopt, "/home/ann/Library/Caches/x"},
      {"/home/ann/Library/CachesOld", false, Kind::outsideAllowlistedRoots, "/home/ann/Library/CachesOld"},
      {"/opt/homebrew/Library/CachesOld/x", false, std::nullopt, "/opt/homebrew/Library/CachesOld/x"},
      {"/home/ann/notes.txt", false, Kind::outsideAllowlistedRoots, "/home/ann/notes.txt"},
      {"/home/ann/notes.txt", true, std::nullopt, "/home/ann/notes.txt"},
      {"/home/ann/Documents/old/x", true, std::nullopt, "/home/ann/Documents/old/x"},
      {"/home/ann/Library/Preferences/x.plist", true, std::nullopt, "/home/ann/Library/Preferences/x.plist"},
      {"/tmp/x", true, Kind::outsideAllowlistedRoots, "/tmp/x"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.path);
    try {
      std::string approved = DeletionGuard::validateDeletionCandidate(c.path, home, c.confirmed, files);
      EXPECT_FALSE(c.refusal) << "approved " << approved;
      EXPECT_EQ(approved, c.reported);
    } catch (const DeletionGuardError &error) {
      ASSERT_TRUE(c.refusal) << error.what();
      EXPECT_EQ(error, DeletionGuardError(*c.refusal, c.reported));
    }
  }
}

TEST(DeletionGuardTest, MessagesAreWordForWord) {
  EXPECT_STREQ(DeletionGuardError(Kind::emptyPath, "ignored").what(), "Deletion rejected: Path is empty.");
  EXPECT_STREQ(DeletionGuardError(Kind::pathTraversalAttempt, "a/../b").what(),
               "Deletion rejected: Path traversal attempt ('..') detected in 'a/../b'.");
  EXPECT_STREQ(DeletionGuardError(Kind::symbolicLinkNotAllowed, "/p").what(),
               "Deletion rejected: Path '/p' is a symbolic link. Symlink deletion is prohibited to prevent "
               "collateral file loss.");
  EXPECT_STREQ(DeletionGuardError(Kind::outsideAllowlistedRoots, "/p").what(),
               "Deletion rejected: Path '/p' is outside approved cache/cleanup directories and lacks explicit "
               "user confirmation.");
}

TEST(DeletionGuardTest, RealLinksAndImmutableFilesAreRefused) {
  quillane::test::TempTree tree;
  const std::string fakeHome = tree.root();
  tree.writeFile(".cache/target", 10);
  tree.makeSymlink(".cache/link", "target");
  tree.makeSymlink(".cache/dangling", "nowhere");
  auto refusal = [&](const std::string &relative) -> std::optional<Kind> {
    try {
      DeletionGuard::validateDeletionCandidate(tree.path(relative), fakeHome, false);
      return std::nullopt;
    } catch (const DeletionGuardError &error) {
      return error.kind();
    }
  };
  EXPECT_EQ(refusal(".cache/target"), std::nullopt);
  EXPECT_EQ(refusal(".cache/link"), Kind::symbolicLinkNotAllowed);
  EXPECT_EQ(refusal(".cache/dangling"), Kind::pathDoesNotExist);
  // A linked folder inside an allowlisted one must not open a way out of it.
  tree.writeFile(".ssh/id_rsa", 10);
  tree.makeSymlink(".cache/toSsh", "../.ssh");
  EXPECT_EQ(refusal(".cache/toSsh/id_rsa"), Kind::symbolicLinkNotAllowed);

  // Setting the immutable attribute needs root and a file system that has it.
  const std::string quoted = quillane::test::shellQuote(tree.path(".cache/target"));
  int status = 0;
  quillane::test::runCommand("chattr +i " + quoted + " 2>/dev/null", &status);
  if (status != 0)
    GTEST_SKIP() << "cannot set the immutable attribute here";
  // Cleared again whatever happens, or the scratch tree could not be removed.
  std::shared_ptr<void> clear(nullptr, [&](void *) { quillane::test::runCommand("chattr -i " + quoted); });
  EXPECT_EQ(refusal(".cache/target"), Kind::sipOrSystemImmutable);
}

TEST(DeletionGuardTest, RandomPathsNeverApproveWhatMustStay) {
  // A temporary home with caches, secrets, links into both, and loose files.
  quillane::test::TempTree tree;
  const std::string fakeHome = tree.root();
  for (const char *file : {".cache/a/f", ".cache/b", "Library/Caches/c", ".ssh/id", "Documents/d", "notes",
                           ".config/app/rc", ".mozilla/profile/key", "Music/m"})
    tree.writeFile(file, 1);
  tree.makeSymlink(".cache/toSsh", "../.ssh");
  tree.makeSymlink(".cache/toDocuments", "../Documents/d");
  tree.makeSymlink("link", ".cache");
  const std::vector<std::string> parts = {".cache", "a",   "f",   "b",   "Library", "Caches", "c", ".ssh", "id",
                                          "Documents", "d", "notes", ".config", "app", ".mozilla", "Music",
                                          "toSsh", "toDocuments", "link", ".", "", "..", "...", "missing"};
  std::mt19937 random(5);
  int approvals = 0;
  for (int round = 0; round < 20'000; ++round) {
    std::string path = random() % 8 == 0 ? "/tmp" : fakeHome;
    for (int depth = 1 + random() % 4; depth > 0; --depth)
      path += "/" + parts[random() % parts.size()];
    if (random() % 4 == 0)
      path += "/";
    std::string approved;
    try {
      approved = DeletionGuard::validateDeletionCandidate(path, fakeHome, random() % 2 == 0);
    } catch (const DeletionGuardError &) {
      continue;
    }
    ++approvals;
    SCOPED_TRACE(path);
    ASSERT_TRUE(approved.starts_with(fakeHome + "/")) << approved;
    struct stat st;
    ASSERT_EQ(::lstat(approved.c_str(), &st), 0) << approved;
    ASSERT_FALSE(S_ISLNK(st.st_mode)) << approved;
    char *real = ::realpath(approved.c_str(), nullptr);
    ASSERT_NE(real, nullptr);
    EXPECT_EQ(std::string(real), approved) << "approved through a linked folder";
    std::free(real);
    const std::string relative = approved.substr(fakeHome.size() + 1);
    for (std::string_view secret : {".ssh", ".config", ".mozilla", "Documents", "Music"})
      ASSERT_NE(relative, secret);
    for (std::string_view secret : {".ssh/", ".config/", ".mozilla/"})
      ASSERT_FALSE(relative.starts_with(secret)) << approved;
  }
  EXPECT_GT(approvals, 100); // the generator reaches approvable paths at all
}

} // namespace
} // namespace tarnwick
