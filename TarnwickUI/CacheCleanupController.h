#pragma once

#include "TarnwickCore/Catalogue/CleanableItem.h"
#include "TarnwickCore/Deletion/SafeCleaningEngine.h"
#include "TarnwickCore/Deletion/TrashCatalogue.h"
#include "TarnwickUI/BackgroundWorkers.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace tarnwick {

/// The state behind the cache review window: the catalogue of known caches
/// (measured off the GUI thread), which of them are ticked, and the move of
/// the ticked ones to the Trash with progress and a report. After every
/// cleaning it measures the catalogue again.
///
/// Threads: GUI thread only; the catalogue scan and the cleaning run on
/// worker threads, joined when the controller is destroyed.
class CacheCleanupController : public QObject {
  Q_OBJECT

public:
  /// Measures the catalogue of one home folder; throws ScanCancelledError
  /// once `stop` is requested. The application's is CacheCatalogue::scan.
  using CatalogueScan = std::function<std::vector<CleanableItem>(const std::string &home, std::stop_token stop)>;

  CacheCleanupController(std::string homeDirectory, std::shared_ptr<SafeCleaningEngine> engine,
                         CatalogueScan scan = {}, QObject *parent = nullptr);
  ~CacheCleanupController() override;

  /// Lists the user's Trash as one more item from the next measurement on
  /// (see TrashBinItem); cleaning that item empties it, before the other
  /// ticked items are moved there.
  void setTrash(TrashCatalogue trash) { trash_ = std::move(trash); }

  /// Largest first; `isSelected` is the tick, which an item keeps when it
  /// is measured again (after a cleaning or a rescan).
  const std::vector<CleanableItem> &items() const { return items_; }
  bool isScanning() const { return isScanning_; }
  bool isCleaning() const { return isCleaning_; }
  /// The last measurement was cancelled before it had a result.
  bool wasCancelled() const { return wasCancelled_; }
  const std::optional<CleanProgress> &cleanProgress() const { return progress_; }
  /// The Trash's emptying counts among its cleaned paths and freed bytes.
  const std::optional<SafeCleaningReport> &lastReport() const { return report_; }
  /// The Trash folder when the last cleaning emptied it, and what that freed.
  const std::string &emptiedTrash() const { return emptiedTrash_; }
  std::int64_t emptiedTrashBytes() const { return emptiedTrashBytes_; }
  /// What the last cleaning took off the disk, for views of it to forget:
  /// the cleaned items, except that an emptied Trash, whose folder stays,
  /// stands for the entries of its files/ and info/ folders (of the home
  /// Trash; the Trash folders of other drives lie outside the home).
  const std::vector<std::string> &removedPaths() const { return removedPaths_; }

  /// Only items of this category are shown, ticked-counted and cleaned.
  void setCategoryFilter(std::optional<CleanableCategory> category);
  std::optional<CleanableCategory> categoryFilter() const { return filter_; }
  bool isVisible(const CleanableItem &item) const;

  void setTicked(std::size_t index, bool ticked);
  /// The ticked items the filter shows: what "Move to Trash" would send.
  std::vector<CleanableItem> tickedItems() const;
  std::int64_t tickedBytes() const;

  /// Measures the catalogue again (cancelling a running measurement).
  void rescan();
  /// Stops the running measurement or cleaning; a cleaning finishes the item
  /// it is on and reports what it did.
  void cancel();
  /// Moves the ticked, shown items to the Trash (the user confirmed them).
  void clean();

signals:
  void itemsChanged();
  void scanningChanged();
  void cleaningChanged();
  void cleanProgressChanged();
  void reportChanged();
  void tickedChanged();

private:
  void setScanning(bool scanning);

  std::string homeDirectory_;
  std::shared_ptr<SafeCleaningEngine> engine_;
  CatalogueScan scan_;
  std::optional<TrashCatalogue> trash_;
  std::vector<CleanableItem> items_;
  std::optional<CleanableCategory> filter_;
  bool isScanning_ = false;
  bool isCleaning_ = false;
  bool wasCancelled_ = false;
  std::optional<CleanProgress> progress_;
  std::optional<SafeCleaningReport> report_;
  std::string emptiedTrash_;
  std::int64_t emptiedTrashBytes_ = 0;
  std::vector<std::string> removedPaths_;
  std::uint64_t scanGeneration_ = 0;
  std::stop_source activeScan_;
  std::stop_source activeCleaning_;
  BackgroundWorkers workers_; // last: destroyed (joined) first
};

} // namespace tarnwick
