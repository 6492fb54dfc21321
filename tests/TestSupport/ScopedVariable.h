#pragma once

#include "TarnwickCore/Support/ScopeExit.h"

#include <cstdlib>
#include <optional>
#include <string>

namespace quillane::test {

/// Sets the environment variable `name` to `value` (nullptr: unsets it)
/// until the returned guard goes, then puts back what was there. The
/// environment is process-wide: only for tests that run on one thread.
[[nodiscard]] inline auto setVariable(const char *name, const char *value) {
  const char *old = std::getenv(name);
  std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
  value ? ::setenv(name, value, 1) : ::unsetenv(name);
  return tarnwick::ScopeExit(
      [name, saved = std::move(saved)] { saved ? ::setenv(name, saved->c_str(), 1) : ::unsetenv(name); });
}

} // namespace quillane::test
