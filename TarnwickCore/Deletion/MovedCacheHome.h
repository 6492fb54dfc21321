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
/// - it is a folder of the user's own that nobody else may write to (no
///   group or other write bit, which also bounds any ACL) or replace (every
///   folder above belongs to the user or root and, where others may write
///   to it, has the sticky bit);
/// - it lies outside the system's trees and is not a folder of others'
///   homes or disks (/home, /mnt…), nor the home folder (by $HOME, its real
///   location or the password database's) or above it;
/// - it neither is, lies inside nor holds the home or any protected
///   location (a personal folder by any name), compared by identity and by
///   place in a file system, so that links, bind mounts and overlays count;
/// - it holds none of the user's data, settings or state folders, nor the
///   home Trash, at their real locations.
/// Approved is what lies strictly inside it, belongs to the user, lies on
/// the folder's own mount, is not in a disk's Trash, and is none of the
/// secrets that the protected locations name in ~/.cache, nor holds one.
///
/// `target` is absolute and standardised, `targetStatus` its own status;
/// `protectedNow` is ProtectedLocations::snapshot() of `home`. Only reads
/// metadata. Threads: stateless.
bool isInMovedCacheHome(const std::string &target, const GuardFileFacts::LinkStatus &targetStatus,
                        const std::string &home, const ProtectedSnapshot &protectedNow, const MountTable &mounts,
                        const GuardFileFacts &files);

} // namespace tarnwick
