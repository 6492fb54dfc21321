#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

/// Appends `/name` to `path`, without doubling a trailing separator (so the
/// child of "/" is "/name").
inline void appendPathComponent(std::string &path, std::string_view name) {
  if (path.empty() || path.back() != '/')
    path.push_back('/');
  path.append(name);
}

/// The last component of a path, ignoring trailing separators; empty for "/".
inline std::string_view lastPathComponent(std::string_view path) {
  while (path.size() > 1 && path.back() == '/')
    path.remove_suffix(1);
  if (path == "/")
    return {};
  auto slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

/// The folder holding the absolute path `path`: "/" for "/" and for its
/// children.
inline std::string parentPath(const std::string &path) {
  const auto slash = path.rfind('/');
  return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

/// Whether the absolute, standardised `path` is `folder` or lies below it;
/// "/" holds every absolute path.
inline bool holdsPath(std::string_view folder, std::string_view path) {
  if (folder == "/")
    return path.starts_with('/');
  return path == folder || (path.starts_with(folder) && path.size() > folder.size() && path[folder.size()] == '/');
}

} // namespace tarnwick
