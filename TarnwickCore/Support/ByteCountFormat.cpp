#include "TarnwickCore/Support/ByteCountFormat.h"

#include <array>
#include <cmath>
#include <cstdio>

namespace tarnwick {

std::string formatByteCount(std::int64_t bytes) {
  if (bytes < 1)
    return "Zero KB";
  char text[64];
  if (bytes < 1000) {
    std::snprintf(text, sizeof text, "%lld %s", static_cast<long long>(bytes), bytes == 1 ? "byte" : "bytes");
    return text;
  }
  struct Unit {
    const char *name;
    int decimals;
  };
  constexpr std::array<Unit, 6> units = {{{"KB", 0}, {"MB", 1}, {"GB", 2}, {"TB", 2}, {"PB", 2}, {"EB", 2}}};
  std::size_t unit = 0;
  double value = static_cast<double>(bytes) / 1000;
  // Move up a unit when rounding would print "1000 KB" or "1000.0 MB".
  while (unit + 1 < units.size()) {
    double scale = std::pow(10.0, units[unit].decimals);
    if (std::round(value * scale) / scale < 1000)
      break;
    value /= 1000;
    ++unit;
  }
  std::snprintf(text, sizeof text, "%.*f %s", units[unit].decimals, value, units[unit].name);
  return text;
}

} // namespace tarnwick
