#include "TarnwickApp/Commands/UninterruptibleMoves.h"

namespace quillane {

tarnwick::Result<void> UninterruptibleMoves::moveToTrash(const tarnwick::ApprovedDeletion &item) {
  std::lock_guard moving(moving_);
  return inner_->moveToTrash(item);
}

tarnwick::Result<void> UninterruptibleMoves::removeItem(const tarnwick::ApprovedDeletion &item) {
  return inner_->removeItem(item);
}

tarnwick::Result<std::vector<std::string>> UninterruptibleMoves::cleanKeeping(const tarnwick::ApprovedDeletion &item,
                                                                            tarnwick::DeletionMode mode,
                                                                            const std::vector<std::string> &keptNames) {
  if (mode == tarnwick::DeletionMode::permanentDelete)
    return inner_->cleanKeeping(item, mode, keptNames);
  std::lock_guard moving(moving_);
  return inner_->cleanKeeping(item, mode, keptNames);
}

std::vector<tarnwick::Failure> UninterruptibleMoves::holdForExit() {
  // Never released: the process ends right after this returns.
  moving_.lock();
  return inner_->stopRemovalsForExit();
}

} // namespace quillane
