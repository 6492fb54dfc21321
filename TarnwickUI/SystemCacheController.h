#pragma once

#include "TarnwickCore/Catalogue/SystemCacheCatalogue.h"
#include "TarnwickUI/BackgroundWorkers.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <vector>

namespace tarnwick {

/// The state behind the window's list of system-owned caches: measures them
/// off the GUI thread and runs one item's owner's command at a time (the
/// user confirmed it), measuring again after it.
///
/// Threads: GUI thread only; every job runs on a worker thread, one job at
/// a time, joined when the controller is destroyed.
class SystemCacheController : public QObject {
  Q_OBJECT

public:
  /// Makes the catalogue one job uses, on that job's thread; it may keep a
  /// runner alive through the pointer's deleter. The application's runs
  /// the real tools (see withProcessRunner).
  using CatalogueFactory = std::function<std::shared_ptr<SystemCacheCatalogue>()>;

  explicit SystemCacheController(CatalogueFactory factory, QObject *parent = nullptr);
  ~SystemCacheController() override;

  /// The real folders and tools, run as separate processes.
  static CatalogueFactory withProcessRunner();

  const std::vector<SystemCacheItem> &items() const { return items_; }
  /// A measurement or a command is running; nothing else starts meanwhile.
  bool isBusy() const { return isBusy_; }
  bool hasMeasured() const { return hasMeasured_; }
  /// How the last command went; nothing before the first.
  const std::optional<SystemCacheCleaning> &lastCleaning() const { return lastCleaning_; }

  /// Measures every item again; ignored while busy.
  void measure();
  /// Runs the item's command, then measures again; ignored while busy.
  void clean(const SystemCacheItem &item);

signals:
  void itemsChanged();
  void busyChanged();
  void cleaningFinished();

private:
  void setBusy(bool busy);
  /// Runs on a worker: the optional cleaning, then a measurement.
  void launch(std::optional<SystemCacheItem> toClean);

  CatalogueFactory factory_;
  std::vector<SystemCacheItem> items_;
  std::optional<SystemCacheCleaning> lastCleaning_;
  bool isBusy_ = false;
  bool hasMeasured_ = false;
  std::stop_source stop_;
  BackgroundWorkers workers_; // last: destroyed (joined) first
};

} // namespace tarnwick
