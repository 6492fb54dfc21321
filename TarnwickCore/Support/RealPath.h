#pragma once

#include <optional>
#include <string>

namespace tarnwick {

/// `path` with every symbolic link, "." and ".." resolved and made absolute
/// against the working folder, as realpath(3) gives it; nothing (errno set)
/// when some component does not exist or cannot be searched.
std::optional<std::string> realPath(const std::string &path);

} // namespace tarnwick
