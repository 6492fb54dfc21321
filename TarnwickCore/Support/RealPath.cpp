#include "TarnwickCore/Support/RealPath.h"

#include "TarnwickCore/Support/PathJoin.h"

#include <cerrno>
#include <cstdlib>
#include <memory>

namespace tarnwick {

std::optional<std::string> realPath(const std::string &path) {
  // Without a buffer realpath allocates one of the right size.
  const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
  if (!resolved)
    return std::nullopt;
  return std::string(resolved.get());
}

std::string realEntryLocation(const std::string &path) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == '/')
    trimmed.pop_back();
  if (!trimmed.starts_with('/') || trimmed == "/")
    return path;
  // Up from the entry's folder to the first that exists; the names passed
  // on the way are kept as they are.
  std::string folder = parentPath(trimmed);
  for (;;) {
    if (std::optional<std::string> real = realPath(folder)) {
      const std::string rest = trimmed.substr(folder == "/" ? 0 : folder.size());
      return (*real == "/" ? "" : *real) + rest;
    }
    if (errno != ENOENT || folder == "/")
      return path;
    folder = parentPath(folder);
  }
}

} // namespace tarnwick
