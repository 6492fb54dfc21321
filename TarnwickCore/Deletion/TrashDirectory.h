#pragma once

#include "TarnwickCore/Support/UniqueFd.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tarnwick {

/// Why a trash folder or record cannot be used, thrown inside the Trash
/// code only: FreedesktopTrash turns it into the Failure it returns.
class TrashError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

/// One trash directory with its files/ and info/ folders, opened without
/// following any link and checked on the opened descriptors, so that nobody
/// can swap a folder in between the check and the use: every later step
/// works relative to these descriptors.
///
/// A folder is usable when it is a real directory (never a link), owned by
/// the user, not writable by group or others, and on the mount that holds
/// the item (a move never copies). Missing folders are created with mode
/// 0700. A folder of the user's that others may only read or search is
/// tightened to 0700 rather than refused: the Trash holds what the user
/// deleted, and it is the user's to fix.
///
/// Threads: a value owned by one thread.
class TrashDirectory {
public:
  /// Opens the trash directory `name` in the folder `parent` (whose path is
  /// `parentPath`), creating what is missing. Throws TrashError saying
  /// which folder is unusable and why (no "cannot move" prefix).
  static TrashDirectory open(int parent, const std::string &parentPath, const std::string &name, uid_t user,
                             std::uint64_t mountId);

  /// The trash of the top directory of a mount: `.Trash/$uid` when `.Trash`
  /// is a real directory with the sticky bit and the former is usable, else
  /// `.Trash-$uid`. Throws TrashError listing why each candidate was refused.
  static TrashDirectory openInTopDirectory(int top, const std::string &topPath, uid_t user, std::uint64_t mountId);

  /// An existing trash directory `name` in `parent`, for reading and
  /// emptying: nothing is created or changed. The same checks as open(),
  /// except that a folder others may read is accepted as it is. Nothing
  /// when the folder does not exist; files() or info() is -1 when that
  /// folder does not. Throws TrashError when it exists but is unusable.
  static std::optional<TrashDirectory> openExisting(int parent, const std::string &parentPath, const std::string &name,
                                                    uid_t user, std::uint64_t mountId);
  /// Every existing trash of the user in the top directory `top` of a
  /// mount, `.Trash/$uid` (when `.Trash` is a real sticky directory) and
  /// `.Trash-$uid`, opened by openExisting(). Why an existing one is not
  /// usable is appended to `refusals`.
  static std::vector<TrashDirectory> openExistingInTopDirectory(int top, const std::string &topPath, uid_t user,
                                                                std::uint64_t mountId,
                                                                std::vector<std::string> &refusals);

  const std::string &path() const { return path_; }
  int files() const { return files_.get(); }
  int info() const { return info_.get(); }

private:
  TrashDirectory(std::string path, UniqueFd files, UniqueFd info)
      : path_(std::move(path)), files_(std::move(files)), info_(std::move(info)) {}

  std::string path_;
  UniqueFd files_;
  UniqueFd info_;
};

} // namespace tarnwick
