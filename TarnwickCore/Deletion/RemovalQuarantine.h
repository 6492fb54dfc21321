#pragma once

#include "TarnwickCore/Deletion/GuardFileFacts.h"
#include "TarnwickCore/Support/Result.h"

#include <memory>
#include <optional>
#include <string>

namespace tarnwick {

class OpenQuarantines;

/// A private folder (mode 0700, fresh, empty) made beside an entry that is
/// about to be removed, and the entry moved into it. Unlinking works by
/// name, and between the last look and the unlink someone with write
/// access to the entry's folder could swap in another file under that
/// name; once in the private folder, the entry's name is beyond the reach
/// of anyone but its owner. The entry is checked again there, and put back
/// if it is not the file expected.
///
/// Without room for that folder (the file system or the user's quota is
/// full, or the folder holds as many subfolders as it may), the entry stays
/// where it is and folder() is its own folder: a full disk is when removing
/// matters most, and removing in place gives up little.
/// - A file is then unlinked by name right after its identity is checked
///   through the folder's descriptor. Whoever swaps another file in between
///   must first take the checked file's name away, which in a sticky folder
///   (/tmp) only its owner, the folder's owner or root may; and whatever
///   they put there they could have removed themselves, since moving a file
///   out of a folder takes the same rights as removing it there, and
///   removing a hard link leaves the file's other names. So a swap can cost
///   only what its author could have removed anyway, even when the caller
///   is root removing another user's file in /tmp.
/// - A folder is never removed by name: it is opened relative to its
///   parent with O_NOFOLLOW | O_DIRECTORY, checked to be the folder
///   expected, and emptied through that descriptor (removePermanently);
///   only the emptied folder goes by name, and rmdir takes nothing else.
///
/// A folder whose entries cannot be removed (append-only or immutable) is
/// refused before anything is made in it, as nothing made there could go.
///
/// Threads: one owner; with OpenQuarantines, another thread may finish it
/// for a process about to end. Lifecycle: enter() (the entry is moved in
/// and checked, or a Failure says why and nothing changed), remove through
/// folder(), then finish(): the folder goes, and whatever the removal left
/// is put back under its own name first. Destroying an unfinished one
/// finishes it. Move-only.
class RemovalQuarantine {
public:
  /// `open`, when given, lets a forced exit put back what the removal has
  /// not removed yet (OpenQuarantines::closeForExit()).
  static Result<RemovalQuarantine> enter(int parent, const std::string &name, const std::string &shownPath,
                                         FileIdentity expected, OpenQuarantines *open = nullptr);
  ~RemovalQuarantine();
  RemovalQuarantine(RemovalQuarantine &&other) noexcept;
  RemovalQuarantine &operator=(RemovalQuarantine &&) = delete;
  RemovalQuarantine(const RemovalQuarantine &) = delete;
  RemovalQuarantine &operator=(const RemovalQuarantine &) = delete;

  /// The private folder, where the entry keeps its name; the entry's own
  /// folder when it is removed in place.
  int folder() const;
  /// Puts back what is left of the entry, if anything, and removes the
  /// private folder. False when something was left and could not go back
  /// (its name was taken meanwhile): it then stays in the private folder.
  bool finish();

  /// The private folder's name beside the entry, for messages; empty in place.
  const std::string &folderName() const;

private:
  friend class OpenQuarantines;
  struct State;

  explicit RemovalQuarantine(std::unique_ptr<State> state);
  static bool finishInTurn(State &state);
  static std::optional<Failure> finishForExit(State &state);

  std::unique_ptr<State> state_;
};

} // namespace tarnwick
