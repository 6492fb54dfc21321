// The guard on a file system described by a table, the protected locations
// by name, as written by hand, and on a real Linux home against the
// catalogue's rows.
#include "TarnwickCore/Catalogue/LinuxFakeHome.h"
#include "TarnwickCore/Deletion/TableFacts.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tarnwick {
namespace {

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
}

// Written out by hand on purpose: a location dropped from the production
// tables must make this fail.
TEST(ProtectedLocationGuardTest, EveryProtectedLocationRefusesWhatIsInsideConfirmedOrNot) {
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
TEST(ProtectedLocationGuardTest, ALinuxHomesRowsAreApprovedAndItsSecretsAndLookalikesAreNot) {
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

} // namespace
} // namespace tarnwick
