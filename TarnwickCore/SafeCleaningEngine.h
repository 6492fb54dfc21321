#pragma once

#include "TarnwickCore/CleanableItem.h"
#include "TarnwickCore/FreedesktopTrash.h"
#include "TarnwickCore/SafeCleaningTypes.h"

#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <vector>

namespace tarnwick {

/// The two file-system operations the engine needs. Each throws
/// std::runtime_error with a human-readable description on failure.
class CleaningFileSystem {
public:
  virtual ~CleaningFileSystem() = default;
  virtual void moveToTrash(const std::string &path) = 0;
  /// Removes the item, recursively for folders, never following links.
  virtual void removeItem(const std::string &path) = 0;
};

/// The real file system: the freedesktop.org Trash and descriptor-relative
/// removal.
class SystemCleaningFileSystem final : public CleaningFileSystem {
public:
  explicit SystemCleaningFileSystem(FreedesktopTrash trash) : trash_(std::move(trash)) {}
  void moveToTrash(const std::string &path) override;
  void removeItem(const std::string &path) override;

private:
  FreedesktopTrash trash_;
};

/// Performs every deletion: keeps the selected items, passes each through
/// the deletion guard, trashes or removes the approved ones, and reports.
/// Never throws; one failure never stops a run.
///
/// Threads: clean() may be called from any thread; runs are serialized (a
/// second call waits for the first). Cancellation is honoured at the top of
/// each item, so an item whose removal began is always finished.
class SafeCleaningEngine {
public:
  using ProgressHandler = std::function<void(const CleanProgress &)>;

  SafeCleaningEngine(std::string homeDirectory, std::shared_ptr<CleaningFileSystem> fileSystem);

  SafeCleaningReport clean(const std::vector<CleanableItem> &items, DeletionMode mode,
                           bool allowUserConfirmedHomeItem, ProgressHandler progressHandler = {},
                           std::stop_token stop = {});

  const std::string &homeDirectory() const { return homeDirectory_; }

private:
  const std::string homeDirectory_;
  const std::shared_ptr<CleaningFileSystem> fileSystem_;
  std::mutex runLock_; // held for a whole run
};

} // namespace tarnwick
