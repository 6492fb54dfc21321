#pragma once

#include "TarnwickCore/Catalogue/CacheMeasurement.h"
#include "TarnwickCore/Deletion/GuardFileFacts.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick {

/// What a Trash entry is; a link is never followed.
enum class TrashEntryKind { file, folder, link, other, missing };

/// One name in one of the user's trash folders: its entry in files/, its
/// record in info/ (NAME.trashinfo), or both, as a listing found them.
///
/// A plain value, copied across threads; restoring and emptying check
/// `identity` again, so a listing that is out of date never acts on
/// another file.
struct TrashedItem {
  /// The trash folder (holding files/ and info/), e.g.
  /// "/home/u/.local/share/Trash" or "/media/disk/.Trash-1000".
  std::string trashDirectory;
  /// The name in files/; the record is NAME.trashinfo in info/.
  std::string name;
  /// Where it came from, absolute (a relative record is resolved against
  /// the top directory of the trash's mount); empty without a readable record.
  std::string originalPath;
  /// "YYYY-MM-DDThh:mm:ss", local time; empty when unknown.
  std::string deletionDate;
  /// Allocated bytes of the entry and, for a folder, of everything below
  /// it on the same mount, each file once (as `du -s -x`); 0 when missing.
  std::int64_t sizeBytes = 0;
  /// Whether sizeBytes counts everything (a folder that could not be read
  /// completely, or another mount inside, makes it a lower bound).
  bool sizeComplete = true;
  /// The same walk as removal sees it (TrashEntrySize::removal): what
  /// emptying it frees, settled with the other items emptied.
  CacheMeasurement removal;
  TrashEntryKind kind = TrashEntryKind::missing;
  /// The entry in files/ when there is one.
  FileIdentity identity;
  /// When that entry last changed (its ctime, nanoseconds since 1970):
  /// the move into the Trash sets it, so among items of the same second
  /// (deletion dates have no finer unit) it tells which went last.
  std::int64_t entryChanged = 0;
  /// Whether info/ holds a record under its name, readable or not.
  bool hasRecord = false;
  /// Why that record cannot be used; empty when it can, or when there is none.
  std::string recordProblem;

  bool hasEntry() const { return kind != TrashEntryKind::missing; }
  /// An entry with a readable record: what can go back where it came from.
  bool isRestorable() const { return hasEntry() && hasRecord && recordProblem.empty(); }
  /// files/NAME, for messages.
  std::string entryPath() const { return trashDirectory + "/files/" + name; }
  /// info/NAME.trashinfo, for messages.
  std::string recordPath() const { return trashDirectory + "/info/" + name + ".trashinfo"; }
};

/// Everything in the user's trash folders. Items are ordered by deletion
/// date (unknown first), then trash folder and name.
struct TrashListing {
  std::vector<TrashedItem> items;
  /// The trash folders read, in the order read.
  std::vector<std::string> trashDirectories;
  /// Trash folders that exist but were not used or could not be read
  /// completely, each with why ("/m/.Trash-1000 is owned by another user").
  std::vector<std::string> problems;
  /// Set when the listing was stopped: it is incomplete.
  bool cancelled = false;

  std::int64_t totalBytes() const {
    std::int64_t total = 0;
    for (const TrashedItem &item : items)
      total += item.sizeBytes;
    return total;
  }
};

} // namespace tarnwick
