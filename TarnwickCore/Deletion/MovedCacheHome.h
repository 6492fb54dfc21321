#pragma once

#include "TarnwickCore/Deletion/GuardFileFacts.h"
#include "TarnwickCore/Deletion/ProtectedLocations.h"

#include <string>

namespace tarnwick {

/// The deletion guard's rule for a cache folder away from ~/.cache: the one
/// $XDG_CACHE_HOME names (UserEnvironment::cacheHomeOf), or the real folder
/// of either when it is a symbolic link, as a cache kept on another disk
/// often is. The allowlist knows ~/.cache only by name, so this folder is
/// judged by what it is:
/// - its links are followed one by one, and each must belong to the user or
///   to root: a link someone else made (in /tmp, say) chooses nothing;
/// - it is a folder of the user's own that nobody else may write to or
///   replace, outside the system's trees and not a folder of others' homes
///   or disks (/home, /mnt…), and neither the home folder (by $HOME, its
///   real location or the password database's), nor above or inside it,
///   nor a protected location (a personal folder by any name, a bind mount
///   of one) or inside one, compared by identity; nor does it hold a
///   personal folder's real location or the user's XDG data, config or
///   state folder.
/// Approved is what lies strictly inside it, belongs to the user, lies on
/// the folder's own mount, is not in a disk's Trash, and is none of the
/// secrets that the protected locations name in ~/.cache, nor holds one.
///
/// `target` is absolute and standardised, `targetStatus` its own status;
/// `protectedNow` is ProtectedLocations::snapshot() of `home`. Only reads
/// metadata. Threads: stateless.
bool isInMovedCacheHome(const std::string &target, const GuardFileFacts::LinkStatus &targetStatus,
                        const std::string &home, const ProtectedSnapshot &protectedNow, const GuardFileFacts &files);

} // namespace tarnwick
