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

} // namespace tarnwick
