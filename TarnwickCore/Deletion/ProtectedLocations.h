#pragma once

#include "TarnwickCore/Deletion/GuardFileFacts.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

/// How much of a protected location is kept from deletion.
enum class Protection {
  /// Only the location itself; what lies inside may go with the user's
  /// confirmation (Documents, Music…).
  itself,
  /// The location and everything below it, confirmed or not (keys, wallets,
  /// mail and browser profiles).
  subtree,
  /// Like subtree, except cache folders inside it (see isCacheFolderName):
  /// settings trees such as ~/.config hold the caches that Chromium-based
  /// browsers and Electron applications rebuild on their own, and the cache
  /// catalogue offers those.
  profile,
};

struct ProtectedEntry {
  std::string_view relativePath;
  Protection protection;
};

/// A protected location that exists, the file it names (a location that is
/// itself a link is protected at its target), and the places that file has
/// in file systems (MountTable::placesOf: where it lies, and the layers of
/// a union mount it is seen through).
struct ExistingProtectedLocation {
  std::string path;
  Protection protection;
  FileIdentity identity;
  std::vector<FileSystemLocation> places;
};

/// The protected locations that exist under one home folder at one moment.
/// Comparing file-system locations with these refuses any other name for a
/// protected location or for anything inside it (a bind mount of part of
/// it, a path through another mount of its file system), and any folder
/// that holds one, however that folder is reached.
struct ProtectedSnapshot {
  std::vector<ExistingProtectedLocation> locations;
  /// False when the mounts could not be known: nothing can be approved.
  bool mountsKnown = true;
};

/// What a user would lose irrecoverably: the tables of protected locations
/// and the rules that apply them.
///
/// Locations are relative to the home folder, and to every application's
/// own home inside it: a snap's ~/snap/APP/REVISION (REVISION being
/// "common", "current" or a revision) and a Flatpak's ~/.var/app/APP-ID,
/// where the same secrets and profiles live again under the same names or
/// under the application's XDG folders (config/, data/).
///
/// The rule for caches: a protected location never contains an approved
/// candidate, except a `profile` location, inside which a folder whose own
/// name is a cache folder name, and everything below that folder, stays
/// cleanable. Locations that guard a whole subtree inside a profile (such
/// as ~/.config/gcloud, which holds credentials) have no such exception.
/// Caches outside protected locations (~/.cache, ~/.var/app/ID/cache,
/// ~/snap/APP/common/.cache) are not affected at all.
///
/// Threads: stateless.
class ProtectedLocations {
public:
  /// Relative to the home folder; "" is the home folder itself.
  static std::span<const ProtectedEntry> homeTable();
  /// Relative to an application's own home inside snap or Flatpak.
  static std::span<const ProtectedEntry> appTable();

  /// The protected location whose rule refuses `target`, by name alone:
  /// `target` is that location or lies inside it. Both paths are absolute
  /// and standardised (no ".", "..", repeated or trailing separators).
  static std::optional<std::string> protectorOf(std::string_view target, std::string_view home);

  /// Whether `target` lies inside a `profile` location and its rule lets
  /// it go: it is at or inside a cache folder there, and nothing more
  /// strictly protected covers it. Paths as for protectorOf.
  static bool isCacheInsideProfile(std::string_view target, std::string_view home);

  /// Whether `relative` (a path below a protected location) is at or inside
  /// a cache folder, by the names of its components.
  static bool isInsideCacheFolder(std::string_view relative);

  /// The protected locations that exist now under `home`, and under the
  /// user's home in the password database when that is another folder
  /// (a changed $HOME must not unprotect the real one), found through
  /// `files`; the personal folders also under the names the desktop gives
  /// them (~/.config/user-dirs.dirs).
  static ProtectedSnapshot snapshot(const std::string &home, const GuardFileFacts &files);
};

} // namespace tarnwick
