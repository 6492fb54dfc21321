#include "TarnwickUI/CacheCleanupController.h"

#include "TarnwickCore/Catalogue/CacheCatalogue.h"
#include "TarnwickCore/Catalogue/CacheSizeMeasurer.h"
#include "TarnwickCore/Deletion/TrashBinItem.h"
#include "TarnwickCore/Support/ScanErrors.h"
#include "TarnwickCore/Deletion/MeasuredCleaning.h"

#include <algorithm>
#include <numeric>
#include <string_view>
#include <unordered_map>

namespace tarnwick {
namespace {

// An item as it is now, as the catalogue measures it: what cleaning it
// leaves in place (its kept entry names, ignoring ASCII case) adds nothing.
// Only the report's figures depend on it, so a measurement that ran out of
// descriptors or memory counts nothing rather than stopping the cleaning.
CacheMeasurement measureOnDisk(const CleanableItem &item, std::stop_token stop) {
  auto isKept = [&item](std::string_view name) { return CleanableItem::isKeptName(item.keptEntryNames, name); };
  try {
    return CacheSizeMeasurer::survey(item.path, item.keptEntryNames.empty() ? CacheSizeMeasurer::NameFilter{} : isKept,
                                     std::move(stop));
  } catch (const std::exception &) {
    return {};
  }
}

// The entries of a Trash folder's files/ and info/, read before it is
// emptied: what the emptying takes away, while the folders stay. Those
// that cannot be read for want of resources are left out, as above.
std::vector<std::string> entriesOf(const std::string &trashFolder) {
  std::vector<std::string> entries;
  for (const char *part : {"/files", "/info"}) {
    try {
      if (auto names = CacheSizeMeasurer::entryNames(trashFolder + part, true))
        for (const std::string &name : *names)
          entries.push_back(trashFolder + part + "/" + name);
    } catch (const std::exception &) {
    }
  }
  return entries;
}

// The user's ticks outlive a measurement: an item measured again (the same
// path) keeps its tick; only new items take the catalogue's default.
void carryTicks(const std::vector<CleanableItem> &before, std::vector<CleanableItem> &after) {
  std::unordered_map<std::string_view, bool> ticks;
  for (const CleanableItem &item : before)
    ticks.emplace(item.path, item.isSelected);
  for (CleanableItem &item : after)
    if (auto tick = ticks.find(item.path); tick != ticks.end())
      item.isSelected = tick->second;
}

} // namespace

CacheCleanupController::CacheCleanupController(std::string homeDirectory, std::shared_ptr<SafeCleaningEngine> engine,
                                               CatalogueScan scan, QObject *parent)
    : QObject(parent), homeDirectory_(std::move(homeDirectory)), engine_(std::move(engine)),
      scan_(scan ? std::move(scan) : CatalogueScan(&CacheCatalogue::scan)) {}

CacheCleanupController::~CacheCleanupController() {
  activeScan_.request_stop();
  activeCleaning_.request_stop(); // workers_, the last member, then joins them
}

void CacheCleanupController::setCategoryFilter(std::optional<CleanableCategory> category) {
  filter_ = category;
  emit itemsChanged();
  emit tickedChanged();
}

bool CacheCleanupController::isVisible(const CleanableItem &item) const { return !filter_ || item.category == *filter_; }

void CacheCleanupController::setTicked(std::size_t index, bool ticked) {
  if (index >= items_.size() || items_[index].isSelected == ticked)
    return;
  items_[index].isSelected = ticked;
  emit tickedChanged();
}

std::vector<CleanableItem> CacheCleanupController::tickedItems() const {
  std::vector<CleanableItem> ticked;
  for (const CleanableItem &item : items_)
    if (item.isSelected && isVisible(item))
      ticked.push_back(item);
  return ticked;
}

std::int64_t CacheCleanupController::tickedBytes() const {
  const std::vector<CleanableItem> ticked = tickedItems();
  return std::accumulate(ticked.begin(), ticked.end(), std::int64_t{0},
                         [](std::int64_t sum, const CleanableItem &item) { return sum + item.sizeBytes; });
}

void CacheCleanupController::setScanning(bool scanning) {
  if (isScanning_ == scanning)
    return;
  isScanning_ = scanning;
  emit scanningChanged();
}

void CacheCleanupController::rescan() {
  activeScan_.request_stop();
  activeScan_ = std::stop_source();
  const std::uint64_t generation = ++scanGeneration_;
  wasCancelled_ = false;
  setScanning(true);
  workers_.launch([this, generation, scan = scan_, trash = trash_, engine = engine_, home = homeDirectory_,
                   stop = activeScan_.get_token()] {
    std::optional<std::vector<CleanableItem>> found;
    try {
      found = scan(home, stop);
      if (trash)
        found = TrashBinItem::withTrashBin(std::move(*found), *trash, stop);
      if (engine)
        engine->untickRefused(*found);
    } catch (const ScanCancelledError &) {
    } catch (const std::exception &) {
      // Out of threads or memory: nothing measured, and the window stays usable.
    }
    auto result = std::make_shared<std::optional<std::vector<CleanableItem>>>(std::move(found));
    workers_.post([this, generation, result] {
      if (generation != scanGeneration_)
        return; // replaced or cancelled
      if (*result) {
        carryTicks(items_, **result);
        items_ = std::move(**result);
        emit itemsChanged();
        emit tickedChanged();
      }
      setScanning(false);
    });
  }, BackgroundWorkers::Priority::background);
}

void CacheCleanupController::cancel() {
  if (isScanning_) {
    activeScan_.request_stop();
    ++scanGeneration_;
    wasCancelled_ = true;
    setScanning(false);
  }
  activeCleaning_.request_stop();
}

void CacheCleanupController::clean() {
  std::vector<CleanableItem> ticked = tickedItems();
  if (ticked.empty() || isCleaning_)
    return;
  activeCleaning_ = std::stop_source();
  isCleaning_ = true;
  progress_.reset();
  emit cleaningChanged();
  workers_.launch([this, engine = engine_, trash = trash_, ticked = std::move(ticked),
                   stop = activeCleaning_.get_token()]() mutable {
    auto onProgress = [this](const CleanProgress &progress) {
      workers_.post([this, progress] {
        progress_ = progress;
        emit cleanProgressChanged();
      });
    };
    auto measure = [&stop](const CleanableItem &item) { return measureOnDisk(item, stop); };
    // The Trash is emptied first: what this run moves there stays.
    SafeCleaningReport emptied;
    std::vector<std::string> trashEntries;
    if (trash)
      std::erase_if(ticked, [&](const CleanableItem &item) {
        if (!TrashBinItem::isTrashBin(item, *trash))
          return false;
        trashEntries = entriesOf(item.path);
        TrashBinItem::empty(*trash, item, emptied, stop);
        return true;
      });
    // Not a confirmation of each path: an item must still be a cache or an
    // artefact by the guard's own rules when it is moved.
    SafeCleaningReport report =
        cleanMeasuringSpace(*engine, ticked, DeletionMode::moveToTrash, false, measure, onProgress, stop);
    report.freedBytes += emptied.freedBytes;
    report.cleanedPaths.insert(report.cleanedPaths.begin(), emptied.cleanedPaths.begin(), emptied.cleanedPaths.end());
    report.errors.merge(emptied.errors);
    std::vector<std::string> removed = emptied.cleanedPaths.empty() ? std::vector<std::string>{} : trashEntries;
    removed.insert(removed.end(), report.cleanedPaths.begin() + std::ptrdiff_t(emptied.cleanedPaths.size()),
                   report.cleanedPaths.end());
    std::string emptiedTrash = emptied.cleanedPaths.empty() ? std::string() : emptied.cleanedPaths.front();
    workers_.post([this, report = std::move(report), removed = std::move(removed), emptiedTrash = std::move(emptiedTrash),
                   emptiedBytes = emptied.freedBytes] {
      emptiedTrash_ = emptiedTrash;
      emptiedTrashBytes_ = emptiedTrash.empty() ? 0 : emptiedBytes;
      removedPaths_ = removed;
      report_ = report;
      isCleaning_ = false;
      emit reportChanged();
      emit cleaningChanged();
      rescan(); // what is left, measured again
    });
  });
}

} // namespace tarnwick
