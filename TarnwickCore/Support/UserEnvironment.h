#pragma once

#include <string>

namespace tarnwick {

/// Where the current user's files live, read once when the application
/// starts and handed to every layer that needs it, so that all of them agree
/// on one home folder. A plain value; tests build one around a scratch home.
struct UserEnvironment {
  /// Absolute: $HOME when it is set and absolute, else the password
  /// database's entry when that is absolute, else "/".
  std::string homeDirectory;
  /// Absolute: $XDG_DATA_HOME when it is absolute (a relative one is
  /// ignored, as the XDG Base Directory rules say), else
  /// `homeDirectory`/.local/share.
  std::string dataHome;
  /// Absolute: $XDG_CACHE_HOME when it is absolute, else
  /// `homeDirectory`/.cache (the same rule as dataHome).
  std::string cacheHome;
  /// Absolute: $XDG_CONFIG_HOME when it is absolute, else
  /// `homeDirectory`/.config (the same rule as dataHome).
  std::string configHome;

  /// The running process's, from its environment and the password database.
  static UserEnvironment fromProcess();

  /// The cache folder of `homeDirectory`: the process's cacheHome when that
  /// is the process's own home folder, else `homeDirectory`/.cache (another
  /// home, such as a scratch one, does not take this user's settings).
  static std::string cacheHomeOf(const std::string &homeDirectory);
};

/// `path` resolved to its real absolute path; when it does not exist, made
/// absolute against the working directory and lexically tidied
/// ("a/./b/" → "/cwd/a/b") so messages name it clearly.
std::string absoluteUserPath(const std::string &path);

} // namespace tarnwick
