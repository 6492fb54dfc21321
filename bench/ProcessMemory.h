#pragma once

#include <cstdlib>
#include <fstream>
#include <string>

namespace quillane::bench {

/// A "VmRSS:"-style field of /proc/self/status, in bytes; -1 when absent.
inline long long statusBytes(const std::string &field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.starts_with(field + ":"))
      return std::atoll(line.c_str() + field.size() + 1) * 1024;
  return -1;
}

} // namespace quillane::bench
