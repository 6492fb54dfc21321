#include "TarnwickCore/Support/RealPath.h"

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

} // namespace tarnwick
