// The protected locations by name, as written by hand, and on a real Linux
// home against the catalogue's rows.
#include "TarnwickCore/Catalogue/LinuxFakeHome.h"
#include "TarnwickCore/Deletion/TableFacts.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tarnwick {
namespace {

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
