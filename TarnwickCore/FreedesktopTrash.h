#pragma once

#include <optional>
#include <stdexcept>
#include <string>

namespace tarnwick {

/// A move to the Trash that did not happen; the item is where it was.
class TrashError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

/// Moves items to the Trash the way desktop file managers and trash-cli
/// expect (the freedesktop.org Trash specification): items on the home
/// file system go to $XDG_DATA_HOME/Trash (~/.local/share/Trash by
/// default); items on another file system go to its top directory's
/// ".Trash/$uid" when ".Trash" is a real sticky directory, else to
/// ".Trash-$uid". Nothing is ever copied across file systems.
///
/// Threads: safe from any thread; two moves of the same name race safely
/// (exclusive creation picks distinct names).
class FreedesktopTrash {
public:
  /// `dataHome` is $XDG_DATA_HOME; empty or absent means `home`/.local/share.
  FreedesktopTrash(std::string homeDirectory, std::optional<std::string> dataHome);
  /// The current user's: $HOME and $XDG_DATA_HOME from the environment.
  static FreedesktopTrash forCurrentUser();

  /// Moves the item at the absolute `path` (not followed if it is a link)
  /// and returns where it now lies. The .trashinfo record is created first,
  /// exclusively; on any failure it is removed again and TrashError says why.
  std::string moveToTrash(const std::string &path) const;

  /// The home trash directory (holding files/ and info/).
  std::string homeTrashDirectory() const;

private:
  std::string home_;
  std::string dataHome_;
};

} // namespace tarnwick
