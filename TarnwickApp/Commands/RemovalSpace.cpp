#include "TarnwickApp/Commands/RemovalSpace.h"

#include "TarnwickApp/Commands/TextFormat.h"
#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Support/ByteCountFormat.h"
#include "TarnwickCore/Support/ScanErrors.h"

#include <cstdio>
#include <sys/stat.h>

namespace quillane {
namespace {

using tarnwick::CacheMeasurement;
using tarnwick::DeletionMode;
using tarnwick::ReclaimedSpace;

// "1 other link to it remains", "3 other links to them remain".
std::string otherLinks(std::int64_t count, std::string_view owner) {
  return std::to_string(count) + (count == 1 ? " other link to " : " other links to ") + std::string(owner) +
         (count == 1 ? " remains" : " remain");
}

std::string freedText(const ReclaimedSpace &space) {
  if (space.bytes == 0 && !space.linkedElsewhere.empty())
    return "no space freed";
  return tarnwick::formatByteCount(space.bytes) +
         (space.mode == DeletionMode::moveToTrash ? " freed when the Trash is emptied" : " freed");
}

} // namespace

std::optional<CacheMeasurement> measureRemoval(const std::string &path, const tarnwick::FastBulkScanner &scanner,
                                               std::stop_token stop) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0)
    return CacheMeasurement{};
  if (S_ISDIR(st.st_mode)) {
    try {
      const tarnwick::DiskTreeArena tree = scanner.scan(path, {}, std::move(stop));
      return tree.removalMeasurement(tarnwick::DiskTreeArena::rootID);
    } catch (const tarnwick::ScanCancelledError &) {
      return std::nullopt;
    }
  }
  if (!S_ISREG(st.st_mode))
    return CacheMeasurement{};
  const auto bytes = static_cast<std::int64_t>(st.st_blocks) * 512;
  if (st.st_nlink <= 1)
    return CacheMeasurement{bytes, {}, 0};
  return CacheMeasurement{0, {{st.st_dev, st.st_ino, st.st_nlink, 1, bytes}}, 0};
}

std::string cleanedSummary(const ReclaimedSpace &space, std::size_t cleaned, std::size_t given, double seconds) {
  char counts[96];
  std::snprintf(counts, sizeof counts, "%zu of %zu cleaned, ", cleaned, given);
  char time[48];
  std::snprintf(time, sizeof time, ", in %.3f s\n", seconds);
  std::string summary = counts + freedText(space) + time;
  for (const auto &[path, links] : space.linkedElsewhere)
    summary += printableText(path) + " frees no space: " + otherLinks(links, "it") + "\n";
  if (space.linkedElsewhere.empty() && space.remainingLinks > 0)
    summary += otherLinks(space.remainingLinks, cleaned == 1 ? "some of its files" : "some of their files") +
               ", so those files stay\n";
  return summary;
}

} // namespace quillane
