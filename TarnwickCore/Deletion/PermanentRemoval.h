#pragma once

#include "TarnwickCore/Deletion/GuardFileFacts.h"
#include "TarnwickCore/Support/Result.h"

#include <optional>
#include <string>

namespace tarnwick {

/// Removes the entry `name` of the open folder `parentFolder` and, for a
/// folder, everything below it, without ever following a symbolic link and
/// without ever leaving the mount the entry lies on.
///
/// Every step works relative to an open folder descriptor (unlinkat, openat
/// with O_NOFOLLOW), so a folder swapped for a link mid-way loses the link,
/// never the link's target. Each folder is compared with the entry's device
/// and mount id when it is opened: another file system mounted inside (a
/// bind mount of the same device too) is not entered, and stays with the
/// folders above it.
///
/// Failures do not stop the walk: everything that can go goes, and then the
/// Failure names the first thing left and how many were; what was removed
/// stays removed. `shownPath`
/// is the entry's path for messages. Depth is bounded only by descriptors,
/// one per level being removed.
///
/// With `expected`, only that file is removed: a folder is checked once
/// opened (everything below is then reached through its descriptor), and
/// anything else just before it is unlinked.
Result<void> removePermanently(int parentFolder, const std::string &name, const std::string &shownPath,
                               std::optional<FileIdentity> expected = std::nullopt);

/// The same for an absolute path, whose parent is opened without following
/// any link.
Result<void> removePermanently(const std::string &path);

} // namespace tarnwick
