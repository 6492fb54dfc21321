#include "TarnwickCore/Deletion/TableFacts.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace tarnwick
