#include "TarnwickUI/TarnwickAppCoordinator.h"

#include "TarnwickCore/Import/ImportedRootLocation.h"
#include "TarnwickCore/Import/NcduExportReader.h"
#include "TarnwickCore/Snapshot/ScanSnapshotReader.h"
#include "TarnwickCore/Support/PathJoin.h"
#include "TarnwickCore/Support/ScanErrors.h"
#include "TarnwickCore/Tree/ArenaEdit.h"
#include "TarnwickUI/WidgetStyle.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <utility>

namespace tarnwick {
namespace {

// The translation context of the texts this file shows outside a QObject.
struct Texts {
  Q_DECLARE_TR_FUNCTIONS(tarnwick::TarnwickAppCoordinator)
};

/// Why a tree read from an export must not be cleaned here, or nothing.
std::optional<QString> refusalFor(ImportedRootLocation location) {
  switch (location) {
  case ImportedRootLocation::here:
    return std::nullopt;
  case ImportedRootLocation::absent:
    return Texts::tr("This tree was read from a file, and its root folder is not on this computer.");
  case ImportedRootLocation::otherDevice:
    return Texts::tr("This tree was read from a file, and the folder at its root's path here is on another "
                          "disk than the one it was read from.");
  }
  return Texts::tr("This tree was read from a file.");
}

} // namespace

TarnwickAppCoordinator::TarnwickAppCoordinator(ScanFunction scan, std::shared_ptr<SafeCleaningEngine> engine,
                                               QObject *parent)
    : QObject(parent), scan_(std::move(scan)), engine_(std::move(engine)) {}

TarnwickAppCoordinator::TarnwickAppCoordinator(std::shared_ptr<const FastBulkScanner> scanner,
                                               std::shared_ptr<SafeCleaningEngine> engine, QObject *parent)
    : TarnwickAppCoordinator(
          [scanner = std::move(scanner)](const std::string &root, ProgressHandler progress, std::stop_token stop,
                                         std::stop_token keep, const std::string &scopeRoot) {
            if (root == scopeRoot || scanner->scope().excludes.empty())
              return scanner->scan(root, std::move(progress), std::move(stop), std::move(keep));
            FastBulkScanner rebased = *scanner;
            rebased.setScope(scanner->scope().forFolder(scopeRoot, root));
            return rebased.scan(root, std::move(progress), std::move(stop), std::move(keep));
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

std::uint64_t TarnwickAppCoordinator::beginScan(bool folderRescan) {
  activeScan_.request_stop();
  activeScan_ = std::stop_source();
  activeKeep_ = std::stop_source();
  keepsTree_ = false;
  const bool changed = !isScanning_ || folderRescan_ != folderRescan;
  isScanning_ = true;
  folderRescan_ = folderRescan;
  if (changed)
    emit isScanningChanged();
  if (scanError_) {
    scanError_.reset();
    emit scanErrorChanged();
  }
  return ++scanGeneration_;
}

ProgressHandler TarnwickAppCoordinator::progressPoster(std::uint64_t generation) {
  return [this, generation](const ScanProgress &report) {
    workers_.post([this, generation, report] {
      if (generation != scanGeneration_)
        return;
      scanProgress_ = report;
      emit scanProgressChanged();
    });
  };
}

void TarnwickAppCoordinator::startScan(const QString &path) {
  const std::uint64_t generation = beginScan(false);
  keepsTree_ = true;
  workers_.launch([this, generation, scan = scan_, root = path.toStdString(), progress = progressPoster(generation),
                   stop = activeScan_.get_token(), keep = activeKeep_.get_token(), snapshots = snapshots_] {
    std::optional<ScanResult> result;
    std::optional<std::string> error;
    const std::int64_t scanTime = std::time(nullptr);
    try {
      DiskTreeArena arena = scan(root, progress, stop, keep, root);
      const bool remember = snapshots && !arena.scanReport().stoppedAfterEntries;
      // Here rather than on the GUI thread: a walk of the whole tree.
      if (std::optional<CategoryShares> shares = CategoryShares::measure(arena, stop))
        result = ScanResult{std::move(arena), *shares, std::nullopt, std::nullopt, scanTime, remember};
    } catch (const ScanCancelledError &) {
    } catch (const std::exception &failure) {
      error = failure.what();
    }
    if (stop.stop_requested())
      result.reset(); // a cancelled or replaced scan never publishes
    workers_.post([this, generation, result = std::make_shared<std::optional<ScanResult>>(std::move(result)), error] {
      finishScan(generation, std::move(*result), error);
    });
  }, BackgroundWorkers::Priority::background);
}

void TarnwickAppCoordinator::openExport(const QString &file) {
  openTreeFile(file, [](const std::string &path, std::stop_token stop) -> std::variant<DiskTreeArena, std::string> {
    NcduExportReader::Outcome read = NcduExportReader::readFile(path, stop);
    if (const auto *failure = std::get_if<ExportReadError>(&read))
      return failure->message();
    return std::move(std::get<DiskTreeArena>(read));
  }, std::nullopt);
}

void TarnwickAppCoordinator::openSnapshot(const QString &file) {
  const std::string path = QFile::encodeName(file).toStdString();
  const ScanSnapshotReader::HeaderOutcome header =
      ScanSnapshotReader::readHeaderFile(path, ScanSnapshotReader::Links::follow);
  std::optional<std::int64_t> scanTime;
  if (const auto *known = std::get_if<ScanSnapshotHeader>(&header))
    scanTime = known->scanTime;
  openTreeFile(file, [](const std::string &path, std::stop_token) -> std::variant<DiskTreeArena, std::string> {
    ScanSnapshotReader::Outcome read = ScanSnapshotReader::readFile(path, ScanSnapshotReader::Links::follow);
    if (const auto *failure = std::get_if<ScanSnapshotError>(&read))
      return failure->message();
    return std::move(std::get<DiskTreeArena>(read));
  }, scanTime);
}

void TarnwickAppCoordinator::openTreeFile(const QString &file, FileReading read, std::optional<std::int64_t> scanTime) {
  const std::uint64_t generation = beginScan(false);
  workers_.launch([this, generation, file, read = std::move(read), scanTime, stop = activeScan_.get_token()] {
    std::optional<ScanResult> result;
    std::optional<std::string> error;
    std::variant<DiskTreeArena, std::string> outcome = read(QFile::encodeName(file).toStdString(), stop);
    if (const auto *failure = std::get_if<std::string>(&outcome)) {
      error = *failure;
    } else {
      DiskTreeArena &arena = std::get<DiskTreeArena>(outcome);
      // Here rather than on the GUI thread: stat() of the root may hang on a network mount.
      const ImportedRootLocation location = locateImportedRoot(arena.rootPath(), arena.scanReport().rootDevice);
      if (std::optional<CategoryShares> shares = CategoryShares::measure(arena, stop))
        result = ScanResult{std::move(arena), *shares, refusalFor(location), scanTime, scanTime};
    }
    if (stop.stop_requested()) { // a cancelled or replaced read neither publishes nor complains
      result.reset();
      error.reset();
    }
    workers_.post([this, generation, file, result = std::make_shared<std::optional<ScanResult>>(std::move(result)),
                   error] {
      if (generation != scanGeneration_)
        return;
      finishScan(generation, std::move(*result), std::nullopt);
      if (error)
        emit exportOpenFailed(file, WidgetStyle::displayText(*error));
    });
  }, BackgroundWorkers::Priority::background);
}

void TarnwickAppCoordinator::rescanFolder(const std::string &folder) {
  if (cleaningRefusal_)
    return; // its paths are not this computer's
  const std::optional<NodeID> id = arena_ ? findNodeByPath(*arena_, folder) : std::nullopt;
  if (!id || !arena_->record(*id).isDirectory)
    return;
  const std::uint64_t generation = beginScan(true);
  workers_.launch([this, generation, scan = scan_, folder, base = arena_, baseShares = sharesOfArena(),
                   progress = progressPoster(generation), stop = activeScan_.get_token()] {
    std::shared_ptr<const DiskTreeArena> rescanned;
    std::optional<std::string> error;
    try {
      DiskTreeArena subtree = scan(folder, progress, stop, {}, base->rootPath());
      const ScanReport &report = subtree.scanReport();
      if (report.rootReadable)
        rescanned = std::make_shared<const DiskTreeArena>(std::move(subtree));
      else // the root's own failure comes first
        error = (report.unreadablePaths.empty() ? Failure{"read", folder, 0, "not readable"}
                                                : report.unreadablePaths.front())
                    .message();
    } catch (const ScanCancelledError &) {
    } catch (const std::exception &failure) {
      error = failure.what();
    }
    std::optional<FolderSplice> splice;
    if (rescanned)
      splice = spliced(base, baseShares, folder, *rescanned, stop);
    workers_.post([this, generation, folder, rescanned, splice = std::move(splice), error] {
      if (splice)
        finishFolderRescan(generation, folder, rescanned, *splice);
      else
        finishScan(generation, std::nullopt, error);
    });
  }, BackgroundWorkers::Priority::background);
}

std::optional<CategoryShares> TarnwickAppCoordinator::sharesOfArena() const {
  return sharesOf_ == arena_ ? std::optional(categoryShares_) : std::nullopt;
}

TarnwickAppCoordinator::FolderSplice TarnwickAppCoordinator::spliced(std::shared_ptr<const DiskTreeArena> base,
                                                                     const std::optional<CategoryShares> &baseShares,
                                                                     const std::string &folder,
                                                                     const DiskTreeArena &rescanned,
                                                                     std::stop_token stop) {
  FolderSplice splice{base, nullptr, {}};
  const std::optional<NodeID> id = findNodeByPath(*base, folder);
  if (id && base->record(*id).isDirectory) {
    auto tree = std::make_shared<const DiskTreeArena>(withSubtreeReplaced(*base, *id, rescanned));
    // Measuring a large tree again costs far more than the splice: the
    // shares of `base` follow the swap of one subtree when they are known.
    std::optional<CategoryShares> shares =
        baseShares ? std::optional(baseShares->withSubtreeReplaced(*base, *id, *tree,
                                                                    findNodeByPath(*tree, folder).value_or(-1)))
                   : CategoryShares::measure(*tree, stop);
    if (shares && !stop.stop_requested())
      splice = FolderSplice{std::move(base), std::move(tree), std::move(*shares)};
  }
  return splice;
}

void TarnwickAppCoordinator::spliceFolder(std::uint64_t generation, std::shared_ptr<const DiskTreeArena> base,
                                          std::string folder, std::shared_ptr<const DiskTreeArena> rescanned) {
  workers_.launch([this, generation, base = std::move(base), baseShares = sharesOfArena(), folder = std::move(folder),
                   rescanned = std::move(rescanned), stop = activeScan_.get_token()] {
    FolderSplice splice = spliced(base, baseShares, folder, *rescanned, stop);
    workers_.post([this, generation, folder, rescanned, splice = std::move(splice)] {
      finishFolderRescan(generation, folder, rescanned, splice);
    });
  }, BackgroundWorkers::Priority::background);
}

void TarnwickAppCoordinator::finishFolderRescan(std::uint64_t generation, const std::string &folder,
                                                std::shared_ptr<const DiskTreeArena> rescanned, FolderSplice splice) {
  if (generation != scanGeneration_)
    return; // replaced or cancelled
  if (splice.base != arena_) {
    spliceFolder(generation, arena_, folder, std::move(rescanned)); // another tree came meanwhile
    return;
  }
  if (splice.tree) {
    arena_ = std::move(splice.tree);
    categoryShares_ = std::move(splice.shares);
    sharesOf_ = arena_;
    emit arenaChanged();
    rememberTree(false);
  }
  setScanning(false);
}

void TarnwickAppCoordinator::finishScan(std::uint64_t generation, std::optional<ScanResult> result,
                                        const std::optional<std::string> &error) {
  if (generation != scanGeneration_)
    return; // a newer scan owns the published state
  if (result) {
    arena_ = std::make_shared<const DiskTreeArena>(std::move(result->arena));
    categoryShares_ = result->shares;
    cleaningRefusal_ = result->cleaningRefusal;
    rememberedScanTime_ = result->rememberedScanTime;
    scanTime_ = result->scanTime;
    sharesOf_ = arena_;
    rememberTime_ = result->remember ? result->scanTime : result->rememberedScanTime;
    emit arenaChanged();
    if (result->remember)
      rememberTree(true);
  }
  if (error) {
    scanError_ = WidgetStyle::displayText(*error);
    emit scanErrorChanged();
  }
  setScanning(false);
}

void TarnwickAppCoordinator::cancelScan() {
  activeScan_.request_stop();
  ++scanGeneration_; // whatever the cancelled scan sends is stale
  setScanning(false);
}

void TarnwickAppCoordinator::stopScanKeepingTree() {
  if (!isScanning_)
    return;
  if (keepsTree_)
    activeKeep_.request_stop(); // the scan publishes what it read, as any scan publishes
  else
    cancelScan();
}

void TarnwickAppCoordinator::rememberTree(bool asNewScan) {
  if (!snapshots_ || !rememberTime_ || !arena_)
    return;
  // A later tree of the same root stands for an earlier one still waiting
  // (as a new scan if either was); another root's waits its turn.
  PendingWrite next{arena_, *rememberTime_, asNewScan};
  if (!pendingWrites_.empty() && pendingWrites_.back().tree->rootPath() == arena_->rootPath()) {
    next.asNewScan = next.asNewScan || pendingWrites_.back().asNewScan;
    pendingWrites_.back() = std::move(next);
  } else {
    pendingWrites_.push_back(std::move(next));
  }
  writeNextTree();
}

void TarnwickAppCoordinator::writeNextTree() {
  if (remembering_ || pendingWrites_.empty())
    return;
  remembering_ = true;
  PendingWrite write = std::move(pendingWrites_.front());
  pendingWrites_.erase(pendingWrites_.begin());
  // The file is a cache: one that cannot be written costs only the next
  // start's shortcut, so a failure is only logged.
  workers_.launch([this, store = snapshots_, write = std::move(write)] {
    const DiskTreeArena &tree = *write.tree;
    if (Result<std::string> saved = write.asNewScan ? store->save(tree, write.time) : store->replace(tree, write.time);
        !saved)
      std::fprintf(stderr, "quillane: the scan is not remembered: %s\n", saved.failure().message().c_str());
    workers_.post([this] {
      remembering_ = false;
      writeNextTree();
    });
  }, BackgroundWorkers::Priority::background);
}

} // namespace tarnwick
