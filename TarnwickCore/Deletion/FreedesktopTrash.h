#pragma once

#include "TarnwickCore/Deletion/GuardFileFacts.h"
#include "TarnwickCore/Support/Result.h"
#include "TarnwickCore/Support/UserEnvironment.h"

#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>

namespace tarnwick {

class TrashDirectory;

/// Moves items to the Trash the way desktop file managers and trash-cli
/// expect (the freedesktop.org Trash rules): items on the mount of the home
/// trash go to $XDG_DATA_HOME/Trash (~/.local/share/Trash by default);
/// items on another mount go to the trash of that mount's top directory,
/// ".Trash/$uid" when ".Trash" is a real sticky directory, else
/// ".Trash-$uid". Nothing is ever copied across file systems.
///
/// Trash folders are opened without following links and used only when
/// they are the user's own and closed to others (see TrashDirectory); an
/// item is never put where someone else could reach it. Items already in a
/// Trash are refused.
///
/// Threads: safe from any thread; two moves of the same name race safely
/// (records and items are published without replacing anything, so each
/// move ends up with its own name).
class FreedesktopTrash {
public:
  /// `dataHome` is $XDG_DATA_HOME; empty, absent or relative means
  /// `homeDirectory`/.local/share (a relative one is never resolved
  /// against the working folder).
  FreedesktopTrash(std::string homeDirectory, std::optional<std::string> dataHome);
  /// The user's: their home folder and data home.
  explicit FreedesktopTrash(const UserEnvironment &user);

  /// Moves the entry `name` of the open folder `parentFolder` (an O_PATH or
  /// ordinary directory descriptor) to the Trash. `originalPath` (absolute)
  /// names it, and may lead there through links; the record holds its real
  /// location (realEntryLocation), the one place a restore goes back to.
  /// Never follows a link: a link entry is trashed as the link itself.
  /// Returns where it now lies.
  ///
  /// On failure the item is where it was, no record is left behind, and
  /// the Failure ("cannot trash PATH: why") says why.
  ///
  /// With `expected`, only that file is moved: the entry is checked just
  /// before and just after the rename, and put back if it turns out to be
  /// another file (swapped in meanwhile). A folder found to hold a mount
  /// point once in the Trash is put back too, so that no file system ever
  /// ends up mounted inside the Trash.
  Result<std::string> moveToTrash(int parentFolder, const std::string &name, const std::string &originalPath,
                                  std::optional<FileIdentity> expected = std::nullopt) const;
  /// Opens the parent of the absolute `path` with openParentWithoutLinks
  /// (no component may be a link) and calls the above.
  Result<std::string> moveToTrash(const std::string &path) const;

  /// Whether the entry `name` of `parentFolder` (named by `originalPath`,
  /// as moveToTrash takes them) is a trash folder or lies in one: the home
  /// Trash, or a `.Trash` or `.Trash-UID` (anyone's) in the top directory
  /// of its mount, their files/ and info/ and everything below. What is
  /// there goes only by the Trash's own means (restoring, emptying), which
  /// keep each item with its record; moveToTrash refuses it, and so must
  /// any removal. A Failure when that cannot be told.
  Result<bool> liesInATrash(int parentFolder, const std::string &name, const std::string &originalPath) const;
  /// The same for the absolute `path`, opened as moveToTrash(path) opens
  /// it; with `ownOnly`, liesInOwnTrash's.
  Result<bool> liesInATrash(const std::string &path, bool ownOnly = false) const;
  /// As liesInATrash, for the user's own trash folders alone (the home
  /// Trash, `.Trash-UID`, `.Trash/UID`): what must not be removed without
  /// its record. Another user's trash folder on a drive is no Trash of
  /// ours to empty, so it may be removed as a whole.
  Result<bool> liesInOwnTrash(int parentFolder, const std::string &name, const std::string &originalPath) const;

  /// The home trash directory (holding files/ and info/).
  std::string homeTrashDirectory() const;

private:
  // Both throw TrashError (TrashDirectory.h) with the bare reason.
  std::string move(int parentFolder, const std::string &name, const std::string &originalPath,
                   std::optional<FileIdentity> expected) const;
  TrashDirectory homeTrash(uid_t user, std::uint64_t mountId) const;

  std::string home_;
  std::string dataHome_;
};

} // namespace tarnwick
