#pragma once

#include <string>

namespace quillane {

/// The current user's home folder: $HOME when set, else the password
/// database's entry, else "/".
std::string homeDirectory();

/// `path` made absolute against the working directory and lexically tidied
/// ("a/./b/" → "/cwd/a/b"); symbolic links are left for the scanner.
std::string absoluteUserPath(const std::string &path);

} // namespace quillane
