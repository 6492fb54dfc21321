#include "TarnwickUI/TarnwickAppCoordinator.h"

#include "TarnwickCore/Support/ScanErrors.h"

namespace tarnwick {

TarnwickAppCoordinator::TarnwickAppCoordinator(ScanFunction scan, std::shared_ptr<SafeCleaningEngine> engine,
                                               QObject *parent)
    : QObject(parent), scan_(std::move(scan)), engine_(std::move(engine)) {}

TarnwickAppCoordinator::TarnwickAppCoordinator(std::shared_ptr<const FastBulkScanner> scanner,
                                               std::shared_ptr<SafeCleaningEngine> engine, QObject *parent)
    : TarnwickAppCoordinator(
          [scanner = std::move(scanner)](const std::string &root, ProgressHandler progress, std::stop_token stop) {
            return scanner->scan(root, std::move(progress), std::move(stop));
          },
          std::move(engine), parent) {}

TarnwickAppCoordinator::~TarnwickAppCoordinator() {
  activeScan_.request_stop(); // workers_, the last member, then joins it
}

const std::vector<Failure> &TarnwickAppCoordinator::unreadablePaths() const {
  static const std::vector<Failure> none;
  return arena_ ? arena_->scanReport().unreadablePaths : none;
}

void TarnwickAppCoordinator::setScanning(bool scanning) {
  if (isScanning_ == scanning)
    return;
  isScanning_ = scanning;
  emit isScanningChanged();
}

void TarnwickAppCoordinator::startScan(const QString &path) {
  activeScan_.request_stop();
  activeScan_ = std::stop_source();
  const std::uint64_t generation = ++scanGeneration_;
  setScanning(true);
  if (scanError_) {
    scanError_.reset();
    emit scanErrorChanged();
  }
  workers_.launch([this, generation, scan = scan_, root = path.toStdString(), stop = activeScan_.get_token()] {
    auto progress = [this, generation](const ScanProgress &report) {
      workers_.post([this, generation, report] {
        if (generation != scanGeneration_)
          return;
        scanProgress_ = report;
        emit scanProgressChanged();
      });
    };
    std::optional<DiskTreeArena> arena;
    std::optional<std::string> error;
    try {
      arena = scan(root, progress, stop);
    } catch (const ScanCancelledError &) {
    } catch (const std::exception &failure) {
      error = failure.what();
    }
    if (stop.stop_requested())
      arena.reset(); // a cancelled or replaced scan never publishes
    workers_.post([this, generation, arena = std::make_shared<std::optional<DiskTreeArena>>(std::move(arena)), error] {
      finishScan(generation, std::move(*arena), error);
    });
  }, BackgroundWorkers::Priority::background);
}

void TarnwickAppCoordinator::finishScan(std::uint64_t generation, std::optional<DiskTreeArena> arena,
                                        const std::optional<std::string> &error) {
  if (generation != scanGeneration_)
    return; // a newer scan owns the published state
  if (arena) {
    arena_ = std::make_shared<const DiskTreeArena>(std::move(*arena));
    emit arenaChanged();
  }
  if (error) {
    scanError_ = QString::fromStdString(*error);
    emit scanErrorChanged();
  }
  setScanning(false);
}

void TarnwickAppCoordinator::cancelScan() {
  activeScan_.request_stop();
  ++scanGeneration_; // whatever the cancelled scan sends is stale
  setScanning(false);
}

void TarnwickAppCoordinator::moveNodeToTrash(const DiskNode &node) {
  CleanableItem item{Uuid::random(),
                     node.name,
                     "Direct Sizeloom Trash",
                     node.path,
                     node.allocatedSize,
                     node.categoryHint.value_or(CleanableCategory::largeAndOldFiles),
                     true,
                     false,
                     std::nullopt,
                     {}};
  workers_.launch([this, engine = engine_, item = std::move(item)] {
    SafeCleaningReport report = engine->clean({item}, DeletionMode::moveToTrash, true);
    workers_.post([this, report = std::move(report)] {
      lastCleaningReport_ = report;
      emit lastCleaningReportChanged();
    });
  });
}

} // namespace tarnwick
