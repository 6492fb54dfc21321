#pragma once

#include "TarnwickCore/Deletion/TrashEmptyReport.h"
#include "TarnwickCore/Deletion/TrashedItem.h"
#include "TarnwickCore/Support/Result.h"

#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tarnwick {

class FreedesktopTrash;
struct UserTrashFolder;

/// The user's Trash as trash clients (file managers, trash-cli, gio) show
/// it: the home Trash plus `.Trash/$uid` and `.Trash-$uid` in the top
/// directory of every mount (see UserTrashFolders), each folder opened
/// without links and checked before anything is read or changed.
///
/// - list() pairs each record in info/ with its entry in files/ and
///   measures the entries.
/// - restore() puts an item back at its original path, never replacing
///   anything there and never through a link.
/// - empty() removes entries of the folders' files/ with removePermanently
///   (descriptor-relative, never following a link or leaving the entry's
///   mount) and their records in info/, nothing else.
///
/// Restoring and emptying act on listed items, each checked again to be the
/// file that was listed (device and inode): an item trashed, swapped or
/// restored since the listing is left alone.
///
/// Threads: any; it holds no state but its settings. Every call blocks
/// while it reads or changes the file system (run it off the GUI thread).
class TrashCatalogue {
public:
  /// `homeTrash` is the home Trash folder ($XDG_DATA_HOME/Trash).
  TrashCatalogue(std::string homeTrash, uid_t user);
  /// The home Trash of `trash`, for the effective user.
  explicit TrashCatalogue(const FreedesktopTrash &trash);

  /// Everything in the trash folders. Once `stop` is requested, the items
  /// found so far are returned, marked cancelled.
  TrashListing list(std::stop_token stop = {}) const;

  /// Moves `item` back to its original path with renameat2(RENAME_NOREPLACE)
  /// into the original folder, opened without following a link: that folder
  /// must exist, nothing there is replaced and nothing is copied across
  /// file systems. Its record goes only once the item is back. Returns the
  /// path it is back at, or a Failure saying why it stays in the Trash.
  Result<std::string> restore(const TrashedItem &item) const;

  using EmptyProgress = std::function<void(const TrashEmptyProgress &)>;
  /// Removes each of `items` (from a listing) from its trash folder: the
  /// entry in files/ (when it is still the file listed) and then the
  /// record in info/. A record without an entry goes when files/ still has
  /// no entry of its name; an entry without a readable record goes with its
  /// record, if any. Failures are collected, never stop the run. `progress`
  /// is called on this thread before each item; `stop` ends the run before
  /// the next item.
  TrashEmptyReport empty(const std::vector<TrashedItem> &items, const EmptyProgress &progress = {},
                         std::stop_token stop = {}) const;

  /// The restorable item of `listing` with original path `path` that was
  /// trashed last (the latest deletion date; among equal dates, the entry
  /// that changed last, then the one listed last); nothing when there is
  /// none. `path` is absolute; an original path names it when it is the
  /// same, or when both lead to the same real location (realEntryLocation)
  /// now: moves record that location, and a home folder reached through a
  /// link names each item two ways. So an item is found by either name, and
  /// one recorded through a link (by another client, or before a folder
  /// became a link) is found too, for restore() to say why it stays.
  static std::optional<TrashedItem> latestWithOriginalPath(const TrashListing &listing, const std::string &path);

  const std::string &homeTrash() const { return homeTrash_; }

private:
  // The trash folders as they are now; why some are unusable goes to `problems`.
  std::vector<UserTrashFolder> openFolders(std::vector<std::string> &problems) const;

  std::string homeTrash_;
  uid_t user_;
};

} // namespace tarnwick
