#pragma once

#include "TarnwickCore/Deletion/ApprovedDeletion.h"
#include "TarnwickCore/Deletion/FreedesktopTrash.h"
#include "TarnwickCore/Deletion/OpenQuarantines.h"
#include "TarnwickCore/Deletion/SafeCleaningTypes.h"
#include "TarnwickCore/Support/Result.h"

#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

/// The file-system operations the cleaning engine needs. Each acts on an
/// approved entry only if it is still the file that was approved, and
/// returns a Failure that says why when it could not.
class CleaningFileSystem {
public:
  virtual ~CleaningFileSystem() = default;
  virtual Result<void> moveToTrash(const ApprovedDeletion &item) = 0;
  /// Removes the item, recursively for folders, never following links or
  /// leaving its file system.
  virtual Result<void> removeItem(const ApprovedDeletion &item) = 0;
  /// Cleans the folder `item` in `mode` except the entries below it whose
  /// names are in `keptNames` (lower-case; compared ignoring ASCII case),
  /// which stay where they are with the folders above them. Returns their
  /// paths; when there were none, the folder went as a whole. The default
  /// refuses, so that a file system that cannot keep entries never cleans
  /// such an item wholesale.
  virtual Result<std::vector<std::string>> cleanKeeping(const ApprovedDeletion &item, DeletionMode mode,
                                                        const std::vector<std::string> &keptNames);
  /// For a process about to be made to end part-way: puts back, under its
  /// own name, what each removal under way has not removed yet, and lets
  /// no removal start afterwards. Returns at once, with one Failure for
  /// each removal cut short that says where what it left is. The default
  /// has no removal to stop.
  virtual std::vector<Failure> stopRemovalsForExit() { return {}; }
  /// Why the entry at the absolute `path` can be neither moved to the Trash
  /// nor removed whatever the guard says, for a view to tell before it is
  /// tried; nothing when it can, or when that cannot be told now (the
  /// operations themselves then say why). The default knows no such entry.
  virtual std::optional<std::string> refusalOf(const std::string &path) const;
};

/// The real file system: the freedesktop.org Trash and descriptor-relative
/// removal. Before acting it opens the item's real parent folder without
/// following any link and checks that the entry there is still the
/// approved file (same device and inode); a swapped entry is left alone.
/// A removal moves the entry into a RemovalQuarantine first; nothing that
/// lies in a Trash is removed (FreedesktopTrash::liesInATrash), as it would
/// be parted from its record.
///
/// Threads: safe from any thread; holds no state besides the Trash and the
/// quarantines of the removals under way.
class SystemCleaningFileSystem final : public CleaningFileSystem {
public:
  explicit SystemCleaningFileSystem(FreedesktopTrash trash) : trash_(std::move(trash)) {}
  Result<void> moveToTrash(const ApprovedDeletion &item) override;
  Result<void> removeItem(const ApprovedDeletion &item) override;
  Result<std::vector<std::string>> cleanKeeping(const ApprovedDeletion &item, DeletionMode mode,
                                                const std::vector<std::string> &keptNames) override;
  std::vector<Failure> stopRemovalsForExit() override { return quarantines_.closeForExit(); }
  /// What lies in a Trash goes only by the Trash's own means.
  std::optional<std::string> refusalOf(const std::string &path) const override;

private:
  FreedesktopTrash trash_;
  OpenQuarantines quarantines_;
};

} // namespace tarnwick
