#pragma once

#include <string>

namespace tarnwick {

/// The current user's home folder: $HOME when set, else the password
/// database's entry, else "/".
std::string homeDirectory();

/// `path` resolved to its real absolute path; when it does not exist, made
/// absolute against the working directory and lexically tidied
/// ("a/./b/" → "/cwd/a/b") so messages name it clearly.
std::string absoluteUserPath(const std::string &path);

} // namespace tarnwick
