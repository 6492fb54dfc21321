#pragma once

#include <optional>
#include <string>

namespace tarnwick {

/// `path` with every symbolic link, "." and ".." resolved and made absolute
/// against the working folder, as realpath(3) gives it; nothing (errno set)
/// when some component does not exist or cannot be searched.
std::optional<std::string> realPath(const std::string &path);

/// Where the entry named by the absolute `path` really lies: the real path
/// of its folder and its own name, which is never followed, so a link names
/// the link itself. Folders that do not exist (any more, or yet) keep their
/// names below the real path of the nearest one that does. The path is
/// returned as it is when it is relative or "/", or when a folder on it
/// cannot be resolved for another reason (one cannot be searched, say).
///
/// The Trash records items by this place, and finds them again by it: a
/// home folder reached through a link (/home/u leading to /var/home/u)
/// must name the same item whichever of its names is used.
std::string realEntryLocation(const std::string &path);

} // namespace tarnwick
