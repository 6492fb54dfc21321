#include "TarnwickCore/Deletion/SafeCleaningEngine.h"

#include "TarnwickCore/Deletion/DeletionGuard.h"

#include <algorithm>
#include <chrono>
#include <set>

namespace tarnwick {
namespace {

// The paths cleaned so far in one run, standardised.
class CleanedSoFar {
public:
  void add(std::string path) { paths_.insert(std::move(path)); }

  // Whether `path` is one of them or lies inside one.
  bool covers(const std::string &path) const {
    for (std::string folder = path;;) {
      if (paths_.contains(folder))
        return true;
      const auto slash = folder.rfind('/');
      if (slash == std::string::npos || folder == "/")
        return false;
      folder = slash == 0 ? "/" : folder.substr(0, slash);
    }
  }

private:
  std::set<std::string> paths_;
};

// The guard's own reading of the path, when it gets that far.
std::optional<std::string> standardised(const std::string &raw) {
  if (raw.empty() || raw.find('\0') != std::string::npos)
    return std::nullopt;
  return DeletionGuard::standardize(raw);
}

} // namespace

std::string_view rawValue(DeletionMode mode) {
  return mode == DeletionMode::moveToTrash ? "moveToTrash" : "permanentDelete";
}

std::optional<DeletionMode> deletionModeFromRawValue(std::string_view text) {
  for (DeletionMode mode : {DeletionMode::moveToTrash, DeletionMode::permanentDelete})
    if (rawValue(mode) == text)
      return mode;
  return std::nullopt;
}

SafeCleaningEngine::SafeCleaningEngine(std::string homeDirectory, std::shared_ptr<CleaningFileSystem> fileSystem)
    : homeDirectory_(std::move(homeDirectory)), fileSystem_(std::move(fileSystem)) {}

std::optional<std::string> SafeCleaningEngine::refusalOf(const std::string &path, bool allowUserConfirmedHomeItem,
                                                         const ProtectedSnapshot *protectedNow) const {
  try {
    const ApprovedDeletion approved = DeletionGuard::approve(path, homeDirectory_, allowUserConfirmedHomeItem, protectedNow);
    return fileSystem_->refusalOf(approved.realPath);
  } catch (const DeletionGuardError &refusal) {
    return refusal.what();
  } catch (const std::exception &) { // cannot check now: clean() will say why
  }
  return std::nullopt;
}

void SafeCleaningEngine::untickRefused(std::vector<CleanableItem> &items) const {
  if (std::ranges::none_of(items, &CleanableItem::isSelected))
    return;
  ProtectedSnapshot protectedNow;
  try {
    protectedNow = ProtectedLocations::snapshot(DeletionGuard::standardize(homeDirectory_), GuardFileFacts::system());
  } catch (const std::exception &) { // out of memory: clean() will say why
    return;
  }
  for (CleanableItem &item : items)
    if (item.isSelected && refusalOf(item.path, false, &protectedNow))
      item.isSelected = false;
}

std::shared_ptr<SafeCleaningEngine> SafeCleaningEngine::forUser(const UserEnvironment &user) {
  return std::make_shared<SafeCleaningEngine>(user.homeDirectory,
                                              std::make_shared<SystemCleaningFileSystem>(FreedesktopTrash(user)));
}

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
  std::optional<ProtectedSnapshot> protectedNow;
  CleanedSoFar cleaned;

  for (std::size_t i = 0; i < selected.size(); ++i) {
    if (stop.stop_requested())
      break;
    const CleanableItem &item = *selected[i];
    if (progressHandler)
      progressHandler(CleanProgress{static_cast<std::int64_t>(i), static_cast<std::int64_t>(selected.size()),
                                    item.path, report.freedBytes});
    const std::optional<std::string> named = standardised(item.path);
    if (named && cleaned.covers(*named)) {
      report.alreadyHandledPaths.push_back(item.path);
      continue;
    }
    ApprovedDeletion approved;
    try {
      if (!protectedNow)
        protectedNow =
            ProtectedLocations::snapshot(DeletionGuard::standardize(homeDirectory_), GuardFileFacts::system());
      approved = DeletionGuard::approve(item.path, homeDirectory_, allowUserConfirmedHomeItem, &*protectedNow);
    } catch (const DeletionGuardError &refusal) {
      report.blockedProtectedPaths.push_back(item.path);
      report.errors[item.path] = refusal.what();
      continue;
    } catch (const std::exception &failure) { // out of memory, say: nothing was touched
      report.errors[item.path] = std::string("cannot check ") + item.path + ": " + failure.what();
      continue;
    }
    std::optional<Failure> failed;
    try {
      if (!item.keptEntryNames.empty() && approved.isDirectory) {
        Result<std::vector<std::string>> kept = fileSystem_->cleanKeeping(approved, mode, item.keptEntryNames);
        if (!kept)
          failed = kept.failure();
        else if (!kept->empty())
          report.keptPaths[item.path] = std::move(*kept);
        else
          cleaned.add(approved.path);
      } else {
        const Result<void> done = mode == DeletionMode::permanentDelete ? fileSystem_->removeItem(approved)
                                                                        : fileSystem_->moveToTrash(approved);
        if (!done)
          failed = done.failure();
      }
    } catch (const std::exception &failure) { // out of memory, say
      failed = Failure{"clean", item.path, 0, failure.what()};
    }
    if (failed) {
      report.errors[item.path] = failed->message();
      continue;
    }
    if (item.keptEntryNames.empty() || !approved.isDirectory)
      cleaned.add(approved.path);
    report.freedBytes += item.sizeBytes;
    report.cleanedPaths.push_back(item.path);
  }
  report.durationSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return report;
}

} // namespace tarnwick
