#include "TarnwickCore/Tree/ScannedEntryCheck.h"

#include <cmath>
#include <sys/stat.h>

namespace tarnwick {
namespace {

bool sameTime(double recorded, const struct timespec &now) {
  const double seconds = double(now.tv_sec) + double(now.tv_nsec) / 1e9;
  if (recorded == std::floor(recorded))
    return double(now.tv_sec) == recorded;
  return std::fabs(seconds - recorded) < 1e-6;
}

} // namespace

std::optional<std::string> changeSinceScan(const DiskNode &node) {
  struct stat st;
  if (::lstat(node.path.c_str(), &st) != 0)
    return std::nullopt;
  const auto changed = [](const char *how) {
    return std::string("it changed after the scan (") + how + "); rescan to see it as it is now";
  };
  if (S_ISDIR(st.st_mode) != node.isDirectory)
    return changed(node.isDirectory ? "it is no longer a folder" : "it is now a folder");
  if (node.isDirectory)
    return std::nullopt;
  if (st.st_nlink <= 1 && std::int64_t(st.st_blocks) * 512 != node.allocatedSize)
    return changed("another size");
  if (node.modificationTimestamp != 0 && !sameTime(node.modificationTimestamp, st.st_mtim))
    return changed("another modification time");
  return std::nullopt;
}

} // namespace tarnwick
