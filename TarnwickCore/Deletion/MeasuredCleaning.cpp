#include "TarnwickCore/Deletion/MeasuredCleaning.h"

#include <algorithm>
#include <map>

namespace tarnwick {
namespace {

using FileKey = std::pair<std::uint64_t, std::uint64_t>; // device, inode

struct LinkTotals {
  std::uint64_t linkCount = 0;
  std::uint64_t namesFound = 0;
  std::int64_t bytes = 0;

  bool isFreed() const { return namesFound >= linkCount; }
  std::int64_t remaining() const { return isFreed() ? 0 : static_cast<std::int64_t>(linkCount - namesFound); }
};

FileKey keyOf(const CacheMeasurement::SharedFile &file) { return {file.device, file.inode}; }

} // namespace

ReclaimedSpace settleReclaimedSpace(DeletionMode mode,
                                    const std::vector<std::pair<std::string, CacheMeasurement>> &cleaned) {
  std::map<FileKey, LinkTotals> files;
  ReclaimedSpace space;
  space.mode = mode;
  for (const auto &[path, measurement] : cleaned) {
    space.bytes += measurement.unsharedBytes;
    for (const CacheMeasurement::SharedFile &file : measurement.sharedFiles) {
      LinkTotals &totals = files[keyOf(file)];
      // A link made between two reads shows in the later one.
      totals.linkCount = std::max(totals.linkCount, file.linkCount);
      totals.namesFound += file.namesFound;
      totals.bytes = std::max(totals.bytes, file.bytes);
    }
  }
  for (const auto &[key, totals] : files) {
    if (totals.isFreed())
      space.bytes += totals.bytes;
    space.remainingLinks += totals.remaining();
  }
  for (const auto &[path, measurement] : cleaned) {
    if (measurement.unsharedBytes > 0)
      continue;
    std::int64_t remaining = 0;
    bool freesSome = false;
    for (const CacheMeasurement::SharedFile &file : measurement.sharedFiles) {
      const LinkTotals &totals = files[keyOf(file)];
      freesSome = freesSome || (totals.isFreed() && totals.bytes > 0);
      remaining += totals.remaining();
    }
    if (!freesSome && remaining > 0)
      space.linkedElsewhere[path] = remaining;
  }
  return space;
}

SafeCleaningReport cleanMeasuringSpace(SafeCleaningEngine &engine, const std::vector<CleanableItem> &items,
                                       DeletionMode mode, bool allowUserConfirmedHomeItem,
                                       const CleaningMeasure &measure,
                                       SafeCleaningEngine::ProgressHandler progressHandler, std::stop_token stop) {
  // By path, as the report names the items; a path named twice is cleaned
  // once (the engine reports the second as already handled).
  std::map<std::string, CacheMeasurement> before;
  for (const CleanableItem &item : items)
    if (item.isSelected && !stop.stop_requested() && !before.contains(item.path))
      before.emplace(item.path, measure(item));
  SafeCleaningReport report =
      engine.clean(items, mode, allowUserConfirmedHomeItem, std::move(progressHandler), std::move(stop));
  std::vector<std::pair<std::string, CacheMeasurement>> cleaned;
  for (const std::string &path : report.cleanedPaths)
    if (auto found = before.find(path); found != before.end())
      cleaned.emplace_back(path, found->second);
  report.reclaimed = settleReclaimedSpace(mode, cleaned);
  return report;
}

} // namespace tarnwick
