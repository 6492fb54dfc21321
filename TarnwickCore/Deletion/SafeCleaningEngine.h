#pragma once

#include "TarnwickCore/Catalogue/CleanableItem.h"
#include "TarnwickCore/Deletion/CleaningFileSystem.h"
#include "TarnwickCore/Deletion/SafeCleaningTypes.h"
#include "TarnwickCore/Support/UserEnvironment.h"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace tarnwick {

struct ProtectedSnapshot;

/// Performs every deletion: keeps the selected items, passes each through
/// the deletion guard, trashes or removes the approved ones, and reports.
/// Never throws; one failure never stops a run.
///
/// What the guard approved is what is acted on: the file system acts on
/// the approved entry only while it is still the same file. The protected
/// locations are looked up once per run. An item named again after it (or
/// a folder holding it) was cleaned in the same run is reported as already
/// handled. A folder item that keeps entry names (CleanableItem::
/// keptEntryNames) is cleaned around those entries, which stay.
///
/// Threads: clean() may be called from any thread; runs are serialized (a
/// second call waits for the first). Cancellation is honoured at the top of
/// each item, so an item whose removal began is always finished.
class SafeCleaningEngine {
public:
  using ProgressHandler = std::function<void(const CleanProgress &)>;

  SafeCleaningEngine(std::string homeDirectory, std::shared_ptr<CleaningFileSystem> fileSystem);
  /// The user's: guards their home folder and cleans on the real file
  /// system, to their freedesktop.org Trash.
  static std::shared_ptr<SafeCleaningEngine> forUser(const UserEnvironment &user);

  SafeCleaningReport clean(const std::vector<CleanableItem> &items, DeletionMode mode,
                           bool allowUserConfirmedHomeItem, ProgressHandler progressHandler = {},
                           std::stop_token stop = {});

  /// Why clean() would refuse `path` now: the deletion guard's refusal, or
  /// the file system's (CleaningFileSystem::refusalOf), or nothing when
  /// both approve (or cannot check: then clean() says why). A
  /// forecast for offering or greying out an action; clean() checks again.
  /// Only reads metadata; any thread.
  /// `protectedNow`, when given, is ProtectedLocations::snapshot() of this
  /// home, for a caller that asks about many paths.
  std::optional<std::string> refusalOf(const std::string &path, bool allowUserConfirmedHomeItem,
                                       const ProtectedSnapshot *protectedNow = nullptr) const;

  /// Unticks each ticked item that clean() would refuse without the user's
  /// confirmation of each path: the catalogue offers by name and place, the
  /// guard decides by what is there, and a row ticked by default should not
  /// fail. Only reads metadata; any thread.
  void untickRefused(std::vector<CleanableItem> &items) const;

  const std::string &homeDirectory() const { return homeDirectory_; }

private:
  const std::string homeDirectory_;
  const std::shared_ptr<CleaningFileSystem> fileSystem_;
  std::mutex runLock_; // held for a whole run
};

} // namespace tarnwick
