#pragma once

#include "TarnwickCore/Deletion/TrashDirectory.h"

#include <string>
#include <sys/types.h>
#include <vector>

namespace tarnwick {

/// One of the user's trash folders, opened for reading and emptying.
struct UserTrashFolder {
  TrashDirectory directory;
  /// The top directory of the mount the folder lies on: a relative record
  /// path is relative to it.
  std::string topDirectory;
  /// A top directory's trash (`.Trash/$uid`, `.Trash-$uid`), which holds
  /// only what was trashed on its own mount; not the home Trash.
  bool isTopDirectoryTrash = false;
};

/// Finds and opens the user's existing trash folders, the ones trash
/// clients list: the home Trash, then for each mount (pseudo file systems
/// such as /proc aside) `.Trash/$uid` and `.Trash-$uid` in its top
/// directory. Each is opened and checked as TrashDirectory::openExisting
/// does (the user's own, no link, not writable by others, `.Trash` sticky,
/// files/ and info/ on its own mount); a mount's top directory is used only
/// when its path reaches that very mount without a link. A folder reached
/// twice (a file system mounted at two places) is listed once. Nothing is
/// created or changed.
///
/// Threads: any; it reads the mount table each time.
class UserTrashFolders {
public:
  /// `homeTrash` is the home Trash ($XDG_DATA_HOME/Trash); the folders
  /// above it may be links (the data home is the user's own setting).
  /// Folders that exist but cannot be used are described in `problems`.
  static std::vector<UserTrashFolder> open(const std::string &homeTrash, uid_t user,
                                           std::vector<std::string> &problems);
  /// Why the folder `trashDirectory`, missing from what open() returned or
  /// opened in part, cannot be used: "its trash folder … cannot be used
  /// now", with the problem open() met there when it named one.
  static std::string whyUnusable(const std::string &trashDirectory, const std::vector<std::string> &problems);
};

} // namespace tarnwick
