#pragma once

#include "TarnwickCore/Snapshot/ScanSnapshotReader.h"
#include "TarnwickCore/Support/Result.h"
#include "TarnwickCore/Support/UserEnvironment.h"
#include "TarnwickCore/Tree/DiskTreeArena.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

/// The folder of remembered scans: one snapshot file per scanned root, a
/// new scan of a root replacing its file, and a cap on the folder's total
/// size beyond which the oldest files go. The snapshot a save replaces is
/// kept as the root's previous one, to compare a new scan with; it is not
/// listed, and it goes first when the folder is over its cap, being older.
///
/// A file is named after a hash of its root path; its header holds the path
/// itself, which load() checks, so two roots whose hashes meet only replace
/// each other. Files are written whole to a temporary file in the folder,
/// synced and renamed over the old one: a reader sees the old snapshot or
/// the new one, never a mix, and a crash leaves at most a stray temporary
/// file (which the next save removes before it writes).
///
/// The folder is used only when it is the user's own, not a symbolic link,
/// and closed to other users' writes; otherwise nothing is saved or read.
/// Every file is reached through the folder opened once per call, so a
/// folder swapped mid-way never leads a removal elsewhere; no snapshot file
/// is opened through a link or waited for when it is not a regular file.
///
/// Threads: calls on different roots may run at once, from any thread; two
/// saves of one root at once leave one of the two.
class ScanSnapshotStore {
public:
  /// What the folder's listing tells of one file, from its header alone.
  struct Entry {
    std::string filePath;
    std::uint64_t fileBytes = 0;
    /// When the header could be read: root, scan date, totals, node count.
    std::optional<ScanSnapshotHeader> header;
    /// Otherwise why not.
    std::optional<ScanSnapshotError> error;
  };

  static constexpr std::uint64_t defaultCapacityBytes = std::uint64_t(512) << 20;

  /// Snapshots live in `folder`, created when the first one is saved;
  /// together they take at most `capacityBytes` (the newest one is kept
  /// even when it alone is larger).
  explicit ScanSnapshotStore(std::string folder, std::uint64_t capacityBytes = defaultCapacityBytes);

  /// `environment`'s cache folder followed by quillane/scans.
  static std::string defaultFolder(const UserEnvironment &environment);

  const std::string &folder() const { return folder_; }
  /// The file that holds, or would hold, the snapshot of `rootPath`.
  std::string filePathFor(const std::string &rootPath) const;
  /// The file that holds the snapshot of `rootPath` the last save replaced.
  std::string previousFilePathFor(const std::string &rootPath) const;

  /// Writes the snapshot of `arena`, scanned at `scanTime` (seconds since
  /// 1970-01-01 UTC), in place of its root's previous one, evicting the
  /// oldest others while the folder would be over its cap. Returns the
  /// file's path.
  Result<std::string> save(const DiskTreeArena &arena, std::int64_t scanTime) const;
  /// Writes `arena` in place of its root's current snapshot as save() does,
  /// but keeps the previous one: for the same scan changed since by what
  /// the program itself removed or read again, still the newer of the two.
  /// Refused unless the current snapshot is the scan of that root made at
  /// `scanTime`: an older scan opened from its file, or a newer one saved
  /// meanwhile, is never overwritten.
  Result<std::string> replace(const DiskTreeArena &arena, std::int64_t scanTime) const;
  /// The remembered scan of `rootPath`.
  ScanSnapshotReader::Outcome load(const std::string &rootPath) const;
  /// Forgets the scans of `rootPath`, current and previous; succeeds when
  /// there were none.
  Result<void> remove(const std::string &rootPath) const;
  /// Every root's snapshot file, newest scan first, those that cannot be
  /// read last; empty when the folder does not exist or is refused.
  /// Previous snapshots are not listed.
  std::vector<Entry> list() const;
  /// Why the folder is not used: it exists but is refused (see above) or
  /// cannot be opened. Nothing when it is usable or not made yet.
  std::optional<Failure> refusal() const;
  /// The newest readable snapshot of `rootPath` scanned before `before`
  /// (seconds since 1970-01-01 UTC), current or previous: what a tree of
  /// that root scanned at `before` compares with. Headers only are read.
  std::optional<Entry> olderScanOf(const std::string &rootPath, std::int64_t before) const;

private:
  Result<std::string> write(const DiskTreeArena &arena, std::int64_t scanTime, bool keepReplaced) const;

  std::string folder_;
  std::uint64_t capacityBytes_;
};

} // namespace tarnwick
