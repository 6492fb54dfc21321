#pragma once

#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Support/ScanErrors.h"
#include "TarnwickUI/TarnwickAppCoordinator.h"
#include "TestSupport/ScriptedEntrySource.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <stop_token>
#include <string>

namespace quillane::test {

/// A scan the test holds in its hand: each run sends one progress report
/// naming its root, then waits until the test opens the gate (or the scan
/// is stopped, which ends it as a cancelled scan). Once open, it fails with
/// the set message if there is one, else scans the root for real. Asked to
/// keep what it read while closed, it returns keptAfterRoot().
class GatedScan {
public:
  tarnwick::TarnwickAppCoordinator::ScanFunction function() const {
    return [state = state_](const std::string &root, tarnwick::ProgressHandler progress, std::stop_token stop,
                            std::stop_token keep, const std::string &) {
      {
        std::unique_lock lock(state->mutex);
        ++state->started;
      }
      state->changed.notify_all();
      if (progress)
        progress(tarnwick::ScanProgress{.rootPath = root, .currentPath = root + "/first", .scannedFiles = 1234,
                                        .scannedDirectories = 56, .accumulatedBytes = 4096});
      // Wakes the wait below; taking the lock first, so the wake cannot
      // fall between its test and its sleep.
      std::stop_callback wake(keep, [state] {
        { std::lock_guard lock(state->mutex); }
        state->changed.notify_all();
      });
      std::unique_lock lock(state->mutex);
      if (!state->changed.wait(lock, stop, [&] { return state->open || keep.stop_requested(); }))
        throw tarnwick::ScanCancelledError();
      if (!state->failure.empty())
        throw std::runtime_error(state->failure);
      lock.unlock();
      if (keep.stop_requested())
        return keptAfterRoot(root);
      return tarnwick::FastBulkScanner(2).scan(root, {}, stop);
    };
  }

  /// What a scan of `root` stopped early keeps when it stops as the first
  /// folder below the root is opened: the root's entries, its folders unread.
  static tarnwick::DiskTreeArena keptAfterRoot(const std::string &root) {
    Script script;
    std::stop_source keep;
    script.onOpen = [&](const std::string &path) {
      if (path != root)
        keep.request_stop();
    };
    tarnwick::FastBulkScanner scanner(1);
    scanner.setEntrySource(std::make_shared<ScriptedSource>(script));
    return scanner.scan(root, {}, {}, keep.get_token());
  }

  void open() {
    {
      std::lock_guard lock(state_->mutex);
      state_->open = true;
    }
    state_->changed.notify_all();
  }
  void failWith(std::string message) {
    std::lock_guard lock(state_->mutex);
    state_->failure = std::move(message);
  }
  int started() const {
    std::lock_guard lock(state_->mutex);
    return state_->started;
  }

private:
  struct State {
    mutable std::mutex mutex;
    std::condition_variable_any changed;
    bool open = false;
    int started = 0;
    std::string failure;
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

} // namespace quillane::test
