#include "TarnwickCore/Deletion/MeasuredCleaning.h"

#include "TarnwickCore/Deletion/DeletionGuard.h"
#include "TarnwickCore/Deletion/TrashEntrySize.h"
#include "TarnwickCore/Support/NoLinkPath.h"

#include <algorithm>
#include <map>
#include <optional>

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

// What is left on the disk of an item whose removal failed, named as the
// items named it (relative to the working folder, maybe); nothing when that
// cannot be told (its parent is gone or reached through a link), so that
// nothing counts as freed.
std::optional<CacheMeasurement> leftOnDisk(const std::string &path) {
  const ParentAndName at = openParentWithoutLinks(DeletionGuard::standardize(path));
  if (!at.parent)
    return std::nullopt;
  return TrashEntrySize::measure(at.parent.get(), at.name).removal;
}

} // namespace

CacheMeasurement removedPart(const CacheMeasurement &before, const CacheMeasurement &left) {
  CacheMeasurement gone;
  gone.unsharedBytes = before.unsharedBytes - left.unsharedBytes;
  gone.folderBytes = std::max<std::int64_t>(0, before.folderBytes - left.folderBytes);
  for (const CacheMeasurement::SharedFile &file : before.sharedFiles) {
    const auto still = std::ranges::find(left.sharedFiles, keyOf(file), keyOf);
    const std::uint64_t namesLeft = still == left.sharedFiles.end() ? 0 : still->namesFound;
    if (file.namesFound > namesLeft) {
      gone.sharedFiles.push_back(file);
      gone.sharedFiles.back().namesFound -= namesLeft;
    }
  }
  // A file left with one name moves from the shared to the unshared sum;
  // the two shifts cancel in the total.
  return gone.freedBytes() > 0 ? gone : CacheMeasurement{};
}

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
    // Folders alone free only their listings: the note is about the data.
    if (measurement.unsharedBytes > measurement.folderBytes)
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
  report.reclaimed = settleReclaimedSpace(mode, whatWent(report, mode, before));
  return report;
}

std::vector<std::pair<std::string, CacheMeasurement>>
whatWent(const SafeCleaningReport &report, DeletionMode mode, const std::map<std::string, CacheMeasurement> &before) {
  std::vector<std::pair<std::string, CacheMeasurement>> went;
  for (const std::string &path : report.cleanedPaths)
    if (auto found = before.find(path); found != before.end())
      went.emplace_back(path, found->second);
  // A move to the Trash is one rename, done or not; a removal goes file by
  // file, and what went before it failed is freed all the same.
  for (const auto &[path, reason] : report.errors)
    if (auto found = before.find(path); mode == DeletionMode::permanentDelete && found != before.end() &&
                                        std::ranges::find(report.blockedProtectedPaths, path) ==
                                            report.blockedProtectedPaths.end())
      if (const std::optional<CacheMeasurement> left = leftOnDisk(path))
        if (CacheMeasurement gone = removedPart(found->second, *left); gone.occupiesSpace())
          went.emplace_back(path, std::move(gone));
  return went;
}

} // namespace tarnwick
