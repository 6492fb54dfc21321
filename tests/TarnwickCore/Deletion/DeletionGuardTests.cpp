#include "TarnwickCore/Deletion/DeletionGuard.h"
#include "TarnwickCore/Support/ScopeExit.h"
#include "TarnwickCore/Catalogue/LinuxFakeHome.h"
#include "TestSupport/ScopedMount.h"
#include "TestSupport/ScopedVariable.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <unistd.h>

namespace tarnwick {
namespace {

using Kind = DeletionGuardError::Kind;
using quillane::test::ScopedMount;
using quillane::test::setVariable;
using quillane::test::TempTree;
const std::string home = "/home/ann";

std::string parentOf(const std::string &path) {
  const auto slash = path.rfind('/');
  return slash == 0 ? "/" : path.substr(0, slash);
}

template <typename Map> auto lookup(const Map &map, const std::string &key) {
  const auto found = map.find(key);
  return found == map.end() ? std::nullopt : std::optional(found->second);
}

// A file system described by a table: each listed path exists with its
// parents (as folders), links dangle, and every entry is a file of its
// own unless told to share another's identity.
class TableFacts final : public GuardFileFacts {
public:
  std::map<std::string, LinkStatus> entries;
  std::map<std::string, std::string> realLocations; // a path through a link → where it leads
  std::map<std::string, std::string> fileContents;
  /// mountinfo lines after the root file system's; nothing: no mount table.
  std::optional<std::string> mounts = "";

  void add(const std::string &path, LinkStatus status = {}) {
    status.identity = {1, std::hash<std::string>{}(path)};
    status.owner = ::geteuid();
    entries[path] = status;
    for (std::string folder = parentOf(path); entries.try_emplace(folder).second; folder = parentOf(folder)) {
      entries[folder] = {false, false, true, false, {1, std::hash<std::string>{}(folder)}, 0, ::geteuid()};
      if (folder == "/")
        break;
    }
  }
  void folder(const std::string &path) { add(path, {false, false, true, false, {}, 0, 0}); }
  void sameFileAs(const std::string &path, const std::string &original) {
    folder(path);
    entries[path].identity = entries.at(original).identity;
  }

  bool exists(const std::string &path) const override {
    const std::optional<LinkStatus> status = lookup(entries, path);
    return status && !status->isSymbolicLink;
  }
  std::optional<LinkStatus> linkStatus(const std::string &path) const override { return lookup(entries, path); }
  std::optional<std::string> account; // the password database's home
  std::optional<std::string> accountHome() const override { return account; }
  std::optional<std::string> canonicalPath(const std::string &path) const override {
    return lookup(realLocations, path).value_or(path);
  }
  std::optional<std::string> readSmallFile(const std::string &path) const override {
    return lookup(fileContents, path);
  }
  std::optional<FileIdentity> identity(const std::string &path) const override {
    return exists(path) ? std::optional(entries.at(path).identity) : std::nullopt;
  }
  std::vector<std::string> folderNames(const std::string &path) const override {
    std::vector<std::string> names;
    for (const auto &[entry, status] : entries)
      if (entry != "/" && parentOf(entry) == path)
        names.push_back(entry.substr(entry.rfind('/') + 1));
    return names;
  }
  std::optional<MountTable> mountTable() const override {
    if (!mounts)
      return std::nullopt;
    return MountTable::parse("1 0 8:1 / / rw - ext4 /dev/sda1 rw\n" + *mounts);
  }
};

struct Case {
  std::string path;
  bool confirmed;
  std::optional<Kind> refusal;    // nothing: approved
  const char *reported = nullptr; // the error's path, or the approved path; nothing: `path` itself
  std::string location = {};      // the error's second place
};

// Why the guard refuses `path`; nothing: approved.
std::optional<DeletionGuardError> refusalOf(const std::string &path, const GuardFileFacts &files,
                                            const std::string &homeFolder = home, bool confirmed = true) {
  try {
    DeletionGuard::validateDeletionCandidate(path, homeFolder, confirmed, files);
    return std::nullopt;
  } catch (const DeletionGuardError &error) {
    return error;
  }
}
// The same on the real file system, as (kind, second place).
using Outcome = std::pair<std::optional<Kind>, std::string>;
Outcome realRefusal(const std::string &path, const std::string &homeFolder, bool confirmed = true) {
  const std::optional<DeletionGuardError> error = refusalOf(path, GuardFileFacts::system(), homeFolder, confirmed);
  return error ? Outcome(error->kind(), error->location()) : Outcome();
}

void expectOutcomes(const std::vector<Case> &cases, const GuardFileFacts &files) {
  for (const Case &c : cases) {
    SCOPED_TRACE(c.path + (c.confirmed ? " (confirmed)" : ""));
    const std::string reported = c.reported ? c.reported : c.path;
    try {
      const std::string approved = DeletionGuard::validateDeletionCandidate(c.path, home, c.confirmed, files);
      EXPECT_FALSE(c.refusal) << "approved " << approved;
      EXPECT_EQ(approved, reported);
    } catch (const DeletionGuardError &error) {
      ASSERT_TRUE(c.refusal) << error.what();
      EXPECT_EQ(error, DeletionGuardError(*c.refusal, reported, c.location)) << error.what();
    }
  }
}

TEST(DeletionGuardTest, ChecksRunInOrderAndTheFirstRefusalDecides) {
  TableFacts files;
  for (const char *existing :
       {"/home/ann/notes.txt", "/home/ann/Documents/old/x", "/tmp/x", "/usr/local/x",
        "/opt/homebrew/Library/CachesOld/x", "/home/ann/.cache/pip", "/home/ann/Library/CachesOld",
        "/home/ann/Library/Preferences/x.plist", "/home/ann/.cache/data", "/home/ann/.cache/data\n",
        "/home/ann/.cache/report.txt ", "/home/ann/.cache/nbsp\xC2\xA0", "/home/ann/.cache/ ", "/home/ann/.cache/ \t",
        "/home/ann/.cache/\xE2\x80\x83", "/home/ann/.local/share/keyrings/login",
        "/home/ann/.local/share/fonts/f", "/home/ann/snap/firefox/common/.mozilla/p",
        "/home/ann/snap/firefox/common/.cache/x", "/home/ann/.config/google-chrome/Default/GPUCache/data_0",
        "/home/ann/.config/google-chrome/Default/Preferences", "/home/ann/.ssh/id_rsa",
        "/home/ann/.cache/holder/inner/f", "/home/ann/.cache/mnt/f", "/home/ann/.cache/pk/k.key",
        "/home/ann/.gnupg/private-keys-v1.d/k.key", "/home/ann/dotfiles/gnupg/key", "/home/ann/.gnupg",
        "/home/ann/Dokumente/brief.odt"})
    files.add(existing);
  files.realLocations["/home/ann/.gnupg"] = "/home/ann/dotfiles/gnupg";
  files.fileContents["/home/ann/.config/user-dirs.dirs"] = "# written by xdg-user-dirs-update\n"
                                                          "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\r\n"
                                                          "  XDG_VIDEOS_DIR=\"$HOME/Filme\" \n"
                                                          "XDG_PICTURES_DIR = \"$HOME/Bilder\" # by hand\n"
                                                          "XDG_TEMPLATES_DIR=$HOME/Vorlagen\n"
                                                          "XDG_MUSIC_DIR=\"$HOME/\"\n";
  files.add("/home/ann/Filme/f");
  files.add("/home/ann/Bilder/f");
  files.add("/home/ann/Vorlagen/f");
  files.folder("/home/ann/Library/Caches/x");
  files.add("/home/ann/.cache/frozen", {false, true, false, false, {}, 0, 0});
  files.sameFileAs("/home/ann/.cache/sshAgain", "/home/ann/.ssh");
  files.add("/home/ann/.cache/sshAgain/id_rsa");
  files.sameFileAs("/home/ann/.cache/configAgain", "/home/ann/.config");
  files.add("/home/ann/.cache/configAgain/google-chrome/GPUCache/f");
  files.add("/home/ann/.cache/configAgain/google-chrome/Preferences");
  files.mounts = "2 1 0:40 / /home/ann/.cache/holder/inner rw - tmpfs none rw\n"
                 "3 1 0:41 / /home/ann/.cache/mnt rw - tmpfs none rw\n"
                 "4 1 8:1 /home/ann/dotfiles/gnupg/private-keys-v1.d /home/ann/.cache/pk rw - ext4 /dev/sda1 rw\n";

  expectOutcomes(
      {
          {"", false, Kind::emptyPath, ""},
          {"a/../b", false, Kind::pathTraversalAttempt}, {"/x/..", false, Kind::pathTraversalAttempt},
          {"/x/.. ", false, Kind::pathDoesNotExist}, // ".. " is a name like any other
          {"..", false, Kind::pathTraversalAttempt},
          {std::string("/home/ann/.ssh\0x", 16), true, Kind::pathDoesNotExist, "/home/ann/.ssh\\0x"},
          {"/", true, Kind::blockedProtectedPath}, {"/Users/", true, Kind::blockedProtectedPath, "/Users"},
          {"/home", true, Kind::blockedProtectedPath}, {"/usr/local/x", false, Kind::outsideAllowlistedRoots},
          {"/home/ann/", true, Kind::blockedProtectedPath, "/home/ann"},
          {"/home/ann/.ssh/missing", true, Kind::blockedProtectedPath}, // before existence
          {"/home/ann/Library/Caches/missing", false, Kind::pathDoesNotExist},
          {"/home/ann/.cache/pip/", false, Kind::pathDoesNotExist, "/home/ann/.cache/pip"}, // a file, not a folder
          {"/home/ann/.cache/frozen", false, Kind::sipOrSystemImmutable},
          // Names are taken byte for byte: white space is part of them.
          {"/home/ann/.cache/data\n", false, std::nullopt}, {"/home/ann/.cache/report.txt ", false, std::nullopt},
          {"/home/ann/.cache/report.txt", false, Kind::pathDoesNotExist},
          {"/home/ann/.cache/nbsp\xC2\xA0", false, std::nullopt}, {"/home/ann/.cache/ ", false, std::nullopt},
          {"/home/ann/.cache/ \t", false, std::nullopt}, {"/home/ann/.cache/\xE2\x80\x83", false, std::nullopt},
          // Folders above protected locations.
          {"/home/ann/.local", true, Kind::containsProtectedLocation, {}, "/home/ann/.local/share/keyrings"},
          {"/home/ann/.local/share", true, Kind::containsProtectedLocation, {}, "/home/ann/.local/share/keyrings"},
          {"/home/ann/.local/share/fonts", true, std::nullopt},
          {"/home/ann/snap/firefox", true, Kind::containsProtectedLocation, {},
           "/home/ann/snap/firefox/common/.mozilla"},
          {"/home/ann/snap/firefox/common/.cache/x", true, std::nullopt},
          // Cache folders inside a settings tree stay cleanable; nothing else there.
          {"/home/ann/.config/google-chrome/Default/GPUCache", true, std::nullopt},
          {"/home/ann/.config/google-chrome/Default/GPUCache", false, std::nullopt},
          {"/home/ann/.config/google-chrome/Default/Other", true, Kind::blockedProtectedPath},
          {"/home/ann/.config/google-chrome/Default/Preferences", true, Kind::blockedProtectedPath},
          // Other names for protected folders, by identity.
          {"/home/ann/.cache/sshAgain", false, Kind::blockedProtectedPath},
          {"/home/ann/.cache/sshAgain/id_rsa", false, Kind::blockedProtectedPath},
          {"/home/ann/.cache/configAgain/google-chrome/GPUCache/f", false, std::nullopt},
          {"/home/ann/.cache/configAgain/google-chrome/Preferences", false, Kind::blockedProtectedPath},
          // Mount points, and folders that hold one.
          {"/home/ann/.cache/mnt", false, Kind::containsMountPoint, {}, "/home/ann/.cache/mnt"},
          {"/home/ann/.cache/holder", false, Kind::containsMountPoint, {}, "/home/ann/.cache/holder/inner"},
          // A bind mount of part of a protected folder, and the real home of
          // a protected folder reached through a link.
          {"/home/ann/.cache/pk/k.key", true, Kind::blockedProtectedPath},
          {"/home/ann/dotfiles", true, Kind::containsProtectedLocation, {}, "/home/ann/.gnupg"},
          // The desktop's own names for the personal folders.
          {"/home/ann/Dokumente", true, Kind::blockedProtectedPath},
          {"/home/ann/Filme", true, Kind::blockedProtectedPath}, {"/home/ann/Bilder", true, Kind::blockedProtectedPath},
          {"/home/ann/Vorlagen", true, Kind::blockedProtectedPath}, {"/home/ann/Dokumente/brief.odt", true, std::nullopt},
          {"/home/ann/Library/Caches", false, std::nullopt},
          {"/home/ann/Library/Caches/./x/", false, std::nullopt, "/home/ann/Library/Caches/x"},
          {"//home//ann/Library//Caches/x", false, std::nullopt, "/home/ann/Library/Caches/x"},
          {"/home/ann/Library/CachesOld", false, Kind::outsideAllowlistedRoots},
          {"/opt/homebrew/Library/CachesOld/x", false, Kind::outsideAllowlistedRoots},
          {"/home/ann/notes.txt", false, Kind::outsideAllowlistedRoots}, {"/home/ann/notes.txt", true, std::nullopt},
          {"/home/ann/Documents/old/x", true, std::nullopt},
          {"/home/ann/Library/Preferences/x.plist", true, std::nullopt},
          {"/tmp/x", true, Kind::outsideAllowlistedRoots},
      },
      files);

  // Without a mount table nothing is approved.
  TableFacts noMounts = files;
  noMounts.mounts.reset();
  EXPECT_EQ(refusalOf("/home/ann/Library/Caches/x", noMounts), DeletionGuardError(Kind::containsMountPoint,
                                                                                 "/home/ann/Library/Caches/x", ""));
  // Without a usable home folder nothing is inside one: a system folder,
  // a folder in a system tree (installed files and services' state would be
  // root's own) unless it is the account's home where such trees hold
  // homes, or one that is not the user's.
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

// Written out by hand on purpose: a location dropped from the production
// tables must make this fail.
TEST(DeletionGuardTest, EveryProtectedLocationRefusesWhatIsInsideConfirmedOrNot) {
  const char *inside[] = {
      "", "Documents", "Desktop", "Pictures", "Movies", "Videos", "Music", "Downloads", "Public", "Templates",
      "Library", "Library/Mobile Documents", "Library/Preferences", ".ssh/id_rsa", ".gnupg/private-keys-v1.d/k.key",
      ".aws/credentials", ".kube/config", ".config/app/settings.ini", ".zshrc", ".bash_profile", ".bashrc",
      ".profile", "Library/CloudStorage/x", "Library/Application Support/FileProvider/x",
      "Library/Keychains/login.keychain-db", ".netrc", ".git-credentials", ".docker/config.json",
      ".azure/accessTokens.json", ".config/gcloud/credentials.db",
      ".config/gcloud/cache/x", // a cache name inside credentials is not a cache
      ".local/share/keyrings/login.keyring", ".local/share/kwalletd/kdewallet.kwl", ".password-store/mail.gpg",
      ".pki/nssdb/cert9.db", ".cache/huggingface/token", ".cache/huggingface/stored_tokens",
      ".electrum/wallets/default_wallet", ".bitcoin/wallet.dat", ".ethereum/keystore/UTC--key",
      ".mozilla/firefox/p.default/key4.db", ".thunderbird/p.default/Mail/inbox", ".local/share/evolution/mail/inbox",
      ".local/share/geary/account/db", ".local/share/epiphany/cookies.sqlite", ".local/share/torbrowser/profile",
      "snap/firefox/common/.mozilla/firefox/p/key4.db", "snap/firefox/current/.mozilla/firefox/p/logins.json",
      "snap/firefox/4539/.mozilla", "snap/thunderbird/common/.thunderbird/p/Mail/inbox",
      "snap/chromium/common/chromium/Default/Cookies", "snap/code/common/.config/Code/User/settings.json",
      "snap/app/common/.ssh/id_rsa", ".var/app/org.mozilla.firefox/.mozilla/firefox/p/logins.json",
      ".var/app/com.google.Chrome/config/google-chrome/Default/Login Data",
      ".var/app/org.gnome.Evolution/data/evolution/mail/inbox",
      ".var/app/org.gnome.Evolution/data/keyrings/login.keyring",
      ".var/app/org.mozilla.Thunderbird/.thunderbird/p/prefs.js",
  };
  TableFacts nothing; // refused by name, before the guard looks for the file
  for (const char *relative : inside)
    for (bool confirmed : {false, true}) {
      const std::string path = home + (*relative ? "/" : "") + relative;
      const std::optional<DeletionGuardError> refusal = refusalOf(path, nothing, home, confirmed);
      EXPECT_EQ(refusal ? std::optional(refusal->kind()) : std::nullopt, Kind::blockedProtectedPath)
          << path << (confirmed ? " (confirmed): " : ": ") << (refusal ? refusal->what() : "approved");
    }

  TableFacts files;
  const char *cleanable[] = {
      "Documents/report.pdf", "Videos/clip.mp4", ".config/Code/CachedData/x",
      ".config/google-chrome/Default/Service Worker/CacheStorage/x",
      "snap/chromium/common/chromium/Default/GPUCache/data_1", "snap/firefox/common/.cache/mozilla/x",
      ".var/app/org.mozilla.firefox/cache/x",
      ".var/app/com.google.Chrome/config/google-chrome/Default/Code Cache/js/x",
  };
  for (const char *relative : cleanable)
    files.add(home + "/" + relative);
  for (const char *relative : cleanable)
    EXPECT_NO_THROW(DeletionGuard::validateDeletionCandidate(home + "/" + relative, home, true, files)) << relative;
}

// The catalogue and the guard agree on a real Linux home: every row the
// catalogue offers goes without the user naming it (project artefacts only
// beside their marker, as it is when deleting), and every protected
// location there, and every file beside a row that holds secrets, stays.
TEST(DeletionGuardTest, ALinuxHomesRowsAreApprovedAndItsSecretsAndLookalikesAreNot) {
  const quillane::test::LinuxFakeHome fake;
  const std::string h = fake.root();
  std::size_t artefacts = 0;
  for (const auto &row : fake.rows()) {
    EXPECT_NO_THROW(DeletionGuard::validateDeletionCandidate(fake.path(row.path), h, false)) << row.path;
    artefacts += row.path.starts_with("code/") || row.path.starts_with(".dotfiles/") ? 1 : 0;
  }
  EXPECT_GE(artefacts, 20u) << "the projects' rows are part of what is approved";
  // Shell and desktop history are the user's to delete when they name them.
  for (const std::string &file : fake.protectedFiles())
    for (bool confirmed : {false, true})
      if (file != ".bash_history" && file != ".local/share/recently-used.xbel") {
        EXPECT_THROW(DeletionGuard::validateDeletionCandidate(fake.path(file), h, confirmed), DeletionGuardError)
            << file << (confirmed ? " (confirmed)" : "");
      }
  fake.tree().writeFile("package.json", 10); // the home is no project
  fake.tree().writeFile("node_modules/x", 10);
  fake.tree().writeFile(".ssh/tool/package.json", 10); // nor does a marker open a protected folder
  fake.tree().writeFile(".ssh/tool/node_modules/x", 10);
  std::vector<std::string> refused = fake.lookalikeArtefacts();
  refused.insert(refused.end(), {"node_modules", ".ssh/tool/node_modules", "code/old/native/docs"});
  for (const std::string &path : refused)
    EXPECT_THROW(DeletionGuard::validateDeletionCandidate(fake.path(path), h, false), DeletionGuardError) << path;
  // Read when deleting: an artefact whose marker went is refused.
  for (const char *marker : {"code/old/crate/Cargo.toml", "code/old/native/out/CMakeCache.txt", "code/old/py/pyproject.toml"})
    std::filesystem::remove(fake.path(marker));
  for (const char *path : {"code/old/crate/target", "code/old/native/out", "code/old/py/src/tool/__pycache__"})
    EXPECT_THROW(DeletionGuard::validateDeletionCandidate(fake.path(path), h, false), DeletionGuardError) << path;
}

TEST(DeletionGuardTest, RealLinksAndImmutableFilesAreRefused) {
  TempTree tree;
  const std::string fakeHome = tree.root();
  tree.writeFile(".cache/target", 10);
  tree.makeSymlink(".cache/link", "target");
  tree.makeSymlink(".cache/dangling", "nowhere");
  auto refusal = [&](const std::string &relative) { return realRefusal(tree.path(relative), fakeHome, false).first; };
  EXPECT_EQ(refusal(".cache/target"), std::nullopt);
  EXPECT_EQ(refusal(".cache/link"), Kind::symbolicLinkNotAllowed);
  EXPECT_EQ(refusal(".cache/dangling"), Kind::symbolicLinkNotAllowed) << "a link, not a missing file";
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

// A home reached through a link (/home leading to /var/home) is one home by
// either name: a path by the real one, as a working folder names it, is
// judged and approved by the home's own name, its secrets included. A link
// to a system folder makes no home of it, and lends none of its names.
TEST(DeletionGuardTest, AHomeReachedThroughALinkIsOneHomeByEitherName) {
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

TEST(DeletionGuardTest, BindMountsAndMountPointsAreRecognisedOnTheRealSystem) {
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
TEST(DeletionGuardTest, ProtectionHoldsWhateverTheMountsOfTheHome) {
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
TEST(DeletionGuardTest, StackedAndUnionMountsAreSeenThrough) {
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
