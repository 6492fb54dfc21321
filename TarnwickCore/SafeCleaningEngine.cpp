#include "TarnwickCore/SafeCleaningEngine.h"

#include "TarnwickCore/DeletionGuard.h"
#include "TarnwickCore/PermanentRemoval.h"

#include <chrono>

namespace tarnwick {

std::string_view rawValue(DeletionMode mode) {
  return mode == DeletionMode::moveToTrash ? "moveToTrash" : "permanentDelete";
}

std::optional<DeletionMode> deletionModeFromRawValue(std::string_view text) {
  for (DeletionMode mode : {DeletionMode::moveToTrash, DeletionMode::permanentDelete})
    if (rawValue(mode) == text)
      return mode;
  return std::nullopt;
}

void SystemCleaningFileSystem::moveToTrash(const std::string &path) { trash_.moveToTrash(path); }

void SystemCleaningFileSystem::removeItem(const std::string &path) { removePermanently(path); }

SafeCleaningEngine::SafeCleaningEngine(std::string homeDirectory, std::shared_ptr<CleaningFileSystem> fileSystem)
    : homeDirectory_(std::move(homeDirectory)), fileSystem_(std::move(fileSystem)) {}

SafeCleaningReport SafeCleaningEngine::clean(const std::vector<CleanableItem> &items, DeletionMode mode,
                                             bool allowUserConfirmedHomeItem, ProgressHandler progressHandler,
                                             std::stop_token stop) {
  std::lock_guard run(runLock_);
  const auto start = std::chrono::steady_clock::now();
  SafeCleaningReport report;
  std::vector<const CleanableItem *> selected;
  for (const CleanableItem &item : items)
    if (item.isSelected)
      selected.push_back(&item);

  for (std::size_t i = 0; i < selected.size(); ++i) {
    if (stop.stop_requested())
      break;
    const CleanableItem &item = *selected[i];
    if (progressHandler)
      progressHandler(CleanProgress{static_cast<std::int64_t>(i), static_cast<std::int64_t>(selected.size()),
                                    item.path, report.freedBytes});
    std::string approved;
    try {
      approved = DeletionGuard::validateDeletionCandidate(item.path, homeDirectory_, allowUserConfirmedHomeItem);
    } catch (const DeletionGuardError &refusal) {
      report.blockedProtectedPaths.push_back(item.path);
      report.errors[item.path] = refusal.what();
      continue;
    }
    try {
      if (mode == DeletionMode::permanentDelete)
        fileSystem_->removeItem(approved);
      else
        fileSystem_->moveToTrash(approved);
    } catch (const std::exception &failure) {
      report.errors[item.path] = failure.what();
      continue;
    }
    report.freedBytes += item.sizeBytes;
    report.cleanedPaths.push_back(item.path);
  }
  report.durationSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return report;
}

} // namespace tarnwick
