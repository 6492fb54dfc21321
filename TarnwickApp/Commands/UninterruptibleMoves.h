#pragma once

#include "TarnwickCore/Deletion/CleaningFileSystem.h"

#include <memory>
#include <mutex>

namespace quillane {

/// A cleaning file system whose moves to the Trash are finished even when
/// the process is made to end: a forced exit (a second Ctrl-C, see
/// InterruptWatcher::setCleanup) first calls holdForExit(), which waits for
/// the move under way and keeps any other from starting, so no item is
/// left half-moved (its record written, the item still in place).
/// Permanent removals are not held: a long removal may be cut short, and
/// what it removed stays removed; what it had not removed yet goes back
/// under its own name (CleaningFileSystem::stopRemovalsForExit), and
/// holdForExit() says so.
///
/// Threads: any; holdForExit() is meant for the watcher's thread.
class UninterruptibleMoves final : public tarnwick::CleaningFileSystem {
public:
  explicit UninterruptibleMoves(std::shared_ptr<tarnwick::CleaningFileSystem> inner) : inner_(std::move(inner)) {}

  tarnwick::Result<void> moveToTrash(const tarnwick::ApprovedDeletion &item) override;
  tarnwick::Result<void> removeItem(const tarnwick::ApprovedDeletion &item) override;
  tarnwick::Result<std::vector<std::string>> cleanKeeping(const tarnwick::ApprovedDeletion &item,
                                                          tarnwick::DeletionMode mode,
                                                          const std::vector<std::string> &keptNames) override;
  std::optional<std::string> refusalOf(const std::string &path) const override { return inner_->refusalOf(path); }

  /// Returns once no move is under way, with what the removal under way,
  /// if any, left and where (one Failure each); no move or removal starts
  /// afterwards (the process is about to end).
  std::vector<tarnwick::Failure> holdForExit();

private:
  std::shared_ptr<tarnwick::CleaningFileSystem> inner_;
  std::mutex moving_;
};

} // namespace quillane
