#pragma once

#include "TarnwickCore/Deletion/GuardFileFacts.h"
#include "TarnwickCore/Support/Result.h"
#include "TarnwickCore/Support/UniqueFd.h"

#include <string>

namespace tarnwick {

/// A private folder (mode 0700, fresh, empty) made beside an entry that is
/// about to be removed, and the entry moved into it. Unlinking works by
/// name, and between the last look and the unlink someone with write
/// access to the entry's folder could swap in another file under that
/// name; once in the private folder, the entry's name is beyond the reach
/// of anyone but its owner. The entry is checked again there, and put back
/// if it is not the file expected.
///
/// Threads: one owner. Lifecycle: enter() (the entry is moved in and
/// checked, or a Failure says why and nothing changed), remove through
/// folder(), then finish(): the folder goes, and whatever the removal left
/// is put back under its own name first. Destroying an unfinished one
/// finishes it. Move-only.
class RemovalQuarantine {
public:
  static Result<RemovalQuarantine> enter(int parent, const std::string &name, const std::string &shownPath,
                                         FileIdentity expected);
  ~RemovalQuarantine();
  RemovalQuarantine(RemovalQuarantine &&other) noexcept;
  RemovalQuarantine &operator=(RemovalQuarantine &&) = delete;
  RemovalQuarantine(const RemovalQuarantine &) = delete;
  RemovalQuarantine &operator=(const RemovalQuarantine &) = delete;

  /// The private folder; the entry keeps its name inside it.
  int folder() const { return folder_.get(); }
  /// Puts back what is left of the entry, if anything, and removes the
  /// private folder. False when something was left and could not go back
  /// (its name was taken meanwhile): it then stays in the private folder.
  bool finish();

  /// The private folder's name beside the entry, for messages.
  const std::string &folderName() const { return folderName_; }

private:
  RemovalQuarantine(int parent, std::string name) : parent_(parent), name_(std::move(name)) {}

  int parent_;
  std::string name_;
  std::string folderName_;
  UniqueFd folder_;
  bool finished_ = false;
};

} // namespace tarnwick
