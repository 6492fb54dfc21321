#pragma once

#include "TarnwickCore/Tree/DiskTreeArena.h"
#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Deletion/SafeCleaningEngine.h"
#include "TarnwickCore/Scan/ScanProgress.h"
#include "TarnwickCore/Snapshot/ScanSnapshotStore.h"
#include "TarnwickUI/BackgroundWorkers.h"
#include "TarnwickUI/CategoryShares.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tarnwick {

class TrashCatalogue;

/// The one object the window binds to: starts and cancels scans, publishes
/// their progress and result, and sends single nodes to the Trash through
/// the cleaning engine. Each published value has a change signal.
///
/// Threads: confined to the thread that owns it (the GUI thread). Scans and
/// cleanings run on threads of their own; their results come back as queued
/// calls, one per progress report. A replaced or cancelled scan never
/// publishes, and nothing reaches a destroyed coordinator: its destructor
/// stops and joins its workers, and calls queued to it die with it.
class TarnwickAppCoordinator : public QObject {
  Q_OBJECT
  Q_PROPERTY(bool isScanning READ isScanning NOTIFY isScanningChanged)

public:
  /// Scans one root into a tree: called on a worker thread, reports progress
  /// through the handler from any thread, throws ScanCancelledError once the
  /// token asks it to stop. The application's is FastBulkScanner::scan.
  /// `scopeRoot` is the root of the tree the scan belongs to: `root` itself,
  /// or the tree's root when one of its folders is scanned again alone; the
  /// scan's exclude patterns are written for it (see ScanScope::forFolder).
  /// Once `keep` asks, it ends early and returns the tree read so far
  /// (FastBulkScanner::scan's `keep`).
  using ScanFunction =
      std::function<DiskTreeArena(const std::string &root, ProgressHandler progress, std::stop_token stop,
                                  std::stop_token keep, const std::string &scopeRoot)>;

  TarnwickAppCoordinator(ScanFunction scan, std::shared_ptr<SafeCleaningEngine> engine, QObject *parent = nullptr);
  TarnwickAppCoordinator(std::shared_ptr<const FastBulkScanner> scanner, std::shared_ptr<SafeCleaningEngine> engine,
                         QObject *parent = nullptr);
  ~TarnwickAppCoordinator() override;

  /// The last scan that completed without being cancelled.
  std::shared_ptr<const DiskTreeArena> arena() const { return arena_; }
  /// How that tree divides among the storage gauge's groups, measured on
  /// the scan's thread before the tree is published (empty before any tree);
  /// after a clean they arrive just after the tree (categorySharesChanged).
  const CategoryShares &categoryShares() const { return categoryShares_; }
  /// The folders of that tree that could not be read completely, each with
  /// why: ScanReport::unreadablePaths of arena() (the first
  /// ScanReport::maxUnreadablePaths, sorted by path); empty before any tree.
  const std::vector<Failure> &unreadablePaths() const;
  const std::optional<ScanProgress> &scanProgress() const { return scanProgress_; }
  bool isScanning() const { return isScanning_; }
  /// Whether the running scan is a rescan of one folder of the published
  /// tree (rescanFolder), during which that tree stays the one to explore.
  bool isRescanningFolder() const { return isScanning_ && folderRescan_; }
  const std::optional<QString> &scanError() const { return scanError_; }
  const std::optional<SafeCleaningReport> &lastCleaningReport() const { return lastCleaningReport_; }
  /// Why the published tree may be neither cleaned nor rescanned, in a
  /// sentence for people: it was read from an export whose root is not
  /// this computer's folder (ImportedRootLocation). Nothing for a scanned
  /// tree, or an imported one whose root is here; set with the tree, before
  /// arenaChanged.
  const std::optional<QString> &cleaningRefusal() const { return cleaningRefusal_; }
  /// Why moveNodeToTrash would be refused for `path` now, in the deletion
  /// guard's words, or nothing (SafeCleaningEngine::refusalOf). Reads a few
  /// dozen inodes and the mount table: for one item at a time.
  std::optional<QString> trashRefusal(const std::string &path) const;

  /// Cancels any running scan and starts one of `path`; returns at once.
  void startScan(const QString &path);
  /// Cancels any running scan and reads the export at `file` (NcduExportReader)
  /// in its place, on a worker; returns at once. It runs as a scan does
  /// (isScanning, cancelScan, replacing and replaced by any other scan),
  /// without progress reports. A tree read whole is published with its
  /// cleaningRefusal; a file that cannot be read publishes nothing and
  /// emits exportOpenFailed instead.
  void openExport(const QString &file);
  /// As openExport, for a remembered scan (ScanSnapshotStore's file at
  /// `file`); the tree is published with rememberedScanTime().
  void openSnapshot(const QString &file);
  /// When the tree on show was scanned, for a remembered scan (seconds since
  /// 1970-01-01 UTC); nothing for a tree scanned or read from an export now.
  const std::optional<std::int64_t> &rememberedScanTime() const { return rememberedScanTime_; }
  /// When the tree on show was read from the disk: the start of its scan
  /// (a folder rescan keeps the whole scan's) or a remembered scan's date;
  /// nothing for an export, which may not say.
  const std::optional<std::int64_t> &scanTime() const { return scanTime_; }
  /// Where every whole scan is remembered, on a worker after it was
  /// published; without a store nothing is. A scan stopped early
  /// (stopScanKeepingTree) is not: it would later pass for a whole one.
  /// What the program changes in a remembered tree afterwards (what it
  /// removed, folders read again) is written over its snapshot, so that
  /// reopening it never brings back what is gone; the previous scan stays.
  void setSnapshotStore(std::shared_ptr<const ScanSnapshotStore> store) { snapshots_ = std::move(store); }
  /// Scans the folder at `path` (bytes, as the tree holds them) of the
  /// published tree again, with the same scan function, and publishes the
  /// tree with that folder's subtree replaced by the result
  /// (withSubtreeReplaced), its category shares brought up to date on the
  /// worker. It runs as a scan does (isScanning, progress, replacing and
  /// replaced by any other scan) and returns at once. A folder that cannot
  /// be read leaves the tree as it is and sets scanError. When another tree
  /// was published meanwhile, the result is spliced into that one instead,
  /// if it still holds the folder. Nothing happens when the tree holds no
  /// folder at `path`, or while cleaningRefusal() is set.
  void rescanFolder(const std::string &path);
  /// Stops the running scan, if any; the previous result stays.
  void cancelScan();
  /// Ends the running scan early and publishes the tree read so far, its
  /// ScanReport::stoppedAfterEntries set (a scan that was about done may
  /// still come out whole). A folder's rescan or a file being read is
  /// cancelled instead: half a folder spliced in would pass for all of it.
  void stopScanKeepingTree();
  /// Sends the node's path to the Trash (the user chose it, so it counts as
  /// confirmed); the report arrives in lastCleaningReport, with what the
  /// move frees once the Trash is emptied. That is settled from the tree's
  /// hard-link table (DiskTreeArena::removalMeasurement), as the scan saw
  /// the node, without reading the disk again; a node of no published tree
  /// is taken at its recorded size. What went leaves the tree (forgetPaths).
  /// Refused, with nothing done, while cleaningRefusal() is set.
  void moveNodeToTrash(const DiskNode &node);
  /// Publishes the tree without the nodes at `paths` (items cleaned from
  /// it; a path it does not hold is passed over): the new tree is derived
  /// and its category shares measured on a worker, then arenaChanged is
  /// emitted with the folder on show found again by the views. When
  /// another tree was published meanwhile, the paths are taken out of that
  /// one instead. Nothing happens before the first tree, nor while
  /// cleaningRefusal() is set.
  void forgetPaths(const std::vector<std::string> &paths);

  /// Where moves to the Trash are undone from; without one nothing can be.
  void setTrashCatalogue(std::shared_ptr<const TrashCatalogue> trash);
  /// The last report is of one item moveNodeToTrash sent to the Trash, not
  /// undone yet, and there is a Trash to take it back from.
  bool canUndoLastMove() const;
  /// Puts that item back (the one trashed last from its path, never
  /// replacing anything there) on a worker, then rescans its folder
  /// (rescanFolder) so the tree shows it again. The outcome arrives by
  /// undoFinished. Nothing when canUndoLastMove() is false.
  void undoLastMove();
  /// Brings the tree up to date once items went back from the Trash to
  /// `paths` by other means (the Trash window): rescans the deepest folder
  /// of the tree that holds all of them (rescanFolder). One rescan, since a
  /// second would replace the first.
  void showRestored(const std::vector<std::string> &paths);

signals:
  void arenaChanged();
  /// categoryShares() changed without a new tree: after a clean they
  /// follow the tree they describe.
  void categorySharesChanged();
  /// What undoLastMove() did, in a sentence for the window.
  void undoFinished(const QString &message, bool succeeded);
  void scanProgressChanged();
  void isScanningChanged();
  void scanErrorChanged();
  void lastCleaningReportChanged();
  /// openExport or openSnapshot could not read `file`: `message` is the reader's, with the
  /// byte offset where it stopped.
  void exportOpenFailed(const QString &file, const QString &message);

private:
  void setScanning(bool scanning);
  struct ScanResult {
    DiskTreeArena arena;
    CategoryShares shares;
    std::optional<QString> cleaningRefusal;
    std::optional<std::int64_t> rememberedScanTime;
    std::optional<std::int64_t> scanTime;
    bool remember = false; // a whole scan, new to the store
  };
  /// A tree read from a file, or why not (a sentence).
  using FileReading = std::function<std::variant<DiskTreeArena, std::string>(const std::string &file, std::stop_token)>;
  /// openExport and openSnapshot: reads `file` on a worker as a scan runs.
  void openTreeFile(const QString &file, FileReading read, std::optional<std::int64_t> scanTime);
  void finishScan(std::uint64_t generation, std::optional<ScanResult> result, const std::optional<std::string> &error);
  std::uint64_t beginScan(bool folderRescan);
  ProgressHandler progressPoster(std::uint64_t generation);
  /// A folder's rescan spliced into `base`; `tree` is null when `base`
  /// no longer holds the folder.
  struct FolderSplice {
    std::shared_ptr<const DiskTreeArena> base;
    std::shared_ptr<const DiskTreeArena> tree;
    CategoryShares shares;
  };
  /// categoryShares_ when they describe arena_.
  std::optional<CategoryShares> sharesOfArena() const;
  /// On a worker: the splice and its shares, derived from `baseShares`
  /// (those of `base`) when given (nothing once `stop` asks).
  static FolderSplice spliced(std::shared_ptr<const DiskTreeArena> base,
                              const std::optional<CategoryShares> &baseShares, const std::string &folder,
                              const DiskTreeArena &rescanned, std::stop_token stop);
  /// Splices again into `base` (arena_), a tree published after the first splice.
  void spliceFolder(std::uint64_t generation, std::shared_ptr<const DiskTreeArena> base, std::string folder,
                    std::shared_ptr<const DiskTreeArena> rescanned);
  void finishFolderRescan(std::uint64_t generation, const std::string &folder,
                          std::shared_ptr<const DiskTreeArena> rescanned, FolderSplice splice);
  /// Writes arena_ to the store when it is a remembered tree: as a new scan
  /// of its root, or over the snapshot it was saved as. One write at a
  /// time, in order, so each root's last tree is the one kept.
  void rememberTree(bool asNewScan);
  void writeNextTree();

  ScanFunction scan_;
  std::shared_ptr<SafeCleaningEngine> engine_;
  std::shared_ptr<const DiskTreeArena> arena_;
  CategoryShares categoryShares_;
  /// The tree categoryShares_ describes; arena_ once they have arrived.
  std::shared_ptr<const DiskTreeArena> sharesOf_;
  std::optional<ScanProgress> scanProgress_;
  bool isScanning_ = false;
  bool folderRescan_ = false; // what the running scan is; meaningful while isScanning_
  std::optional<QString> scanError_;
  std::optional<SafeCleaningReport> lastCleaningReport_;
  std::optional<QString> cleaningRefusal_;
  std::optional<std::int64_t> rememberedScanTime_;
  std::optional<std::int64_t> scanTime_;
  std::shared_ptr<const ScanSnapshotStore> snapshots_;
  /// The scan time arena_ is remembered under; nothing when it is not.
  std::optional<std::int64_t> rememberTime_;
  bool remembering_ = false; // a write is on its way
  struct PendingWrite {
    std::shared_ptr<const DiskTreeArena> tree;
    std::int64_t time;
    bool asNewScan;
  };
  std::vector<PendingWrite> pendingWrites_; // asked for meanwhile, oldest first
  std::shared_ptr<const TrashCatalogue> trash_;
  bool lastMoveUndoable_ = false;

  std::uint64_t scanGeneration_ = 0; // which scan may publish
  std::stop_source activeScan_;
  std::stop_source activeKeep_; // asks the running whole scan to end early, keeping its tree
  bool keepsTree_ = false;      // whether the running scan listens to activeKeep_
  BackgroundWorkers workers_; // last: destroyed (joined) first
};

} // namespace tarnwick
