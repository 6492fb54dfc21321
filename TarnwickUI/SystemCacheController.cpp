#include "TarnwickUI/SystemCacheController.h"

namespace tarnwick {
namespace {

// A catalogue and the runner it borrows, freed together.
struct ProcessCatalogue {
  ProcessCommandRunner runner;
  SystemCacheCatalogue catalogue{runner};
};

} // namespace

SystemCacheController::SystemCacheController(CatalogueFactory factory, QObject *parent)
    : QObject(parent), factory_(std::move(factory)) {}

SystemCacheController::~SystemCacheController() { stop_.request_stop(); }

SystemCacheController::CatalogueFactory SystemCacheController::withProcessRunner() {
  return [] {
    auto owner = std::make_shared<ProcessCatalogue>();
    return std::shared_ptr<SystemCacheCatalogue>(owner, &owner->catalogue);
  };
}

void SystemCacheController::setBusy(bool busy) {
  if (isBusy_ == busy)
    return;
  isBusy_ = busy;
  emit busyChanged();
}

void SystemCacheController::measure() {
  if (!isBusy_)
    launch(std::nullopt);
}

void SystemCacheController::clean(const SystemCacheItem &item) {
  if (!isBusy_ && item.isCleanable())
    launch(item);
}

void SystemCacheController::launch(std::optional<SystemCacheItem> toClean) {
  setBusy(true);
  workers_.launch([this, factory = factory_, toClean = std::move(toClean), stop = stop_.get_token()] {
    struct Outcome {
      std::optional<SystemCacheCleaning> cleaning;
      std::optional<std::vector<SystemCacheItem>> items;
    };
    auto outcome = std::make_shared<Outcome>();
    try {
      const std::shared_ptr<SystemCacheCatalogue> catalogue = factory();
      if (toClean)
        outcome->cleaning = catalogue->clean(*toClean, stop);
      outcome->items = catalogue->measure(stop);
    } catch (const std::exception &failure) {
      // Out of memory or threads: the list stays as it was.
      if (toClean && !outcome->cleaning)
        outcome->cleaning = SystemCacheCleaning{toClean->id, {}, failure.what(), {}};
    }
    workers_.post([this, outcome] {
      if (outcome->items) {
        items_ = std::move(*outcome->items);
        hasMeasured_ = true;
        emit itemsChanged();
      }
      setBusy(false);
      if (outcome->cleaning) {
        lastCleaning_ = std::move(outcome->cleaning);
        emit cleaningFinished();
      }
    });
  }, BackgroundWorkers::Priority::background);
}

} // namespace tarnwick
