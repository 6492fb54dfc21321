#pragma once

#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Support/ScanErrors.h"
#include "TarnwickUI/TarnwickAppCoordinator.h"

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
/// the set message if there is one, else scans the root for real.
class GatedScan {
public:
  tarnwick::TarnwickAppCoordinator::ScanFunction function() const {
    return [state = state_](const std::string &root, tarnwick::ProgressHandler progress, std::stop_token stop,
                            const std::string &) {
      {
        std::unique_lock lock(state->mutex);
        ++state->started;
      }
      state->changed.notify_all();
      if (progress)
        progress(tarnwick::ScanProgress{.rootPath = root, .currentPath = root + "/first", .scannedFiles = 1234,
                                        .scannedDirectories = 56, .accumulatedBytes = 4096});
      std::unique_lock lock(state->mutex);
      if (!state->changed.wait(lock, stop, [&] { return state->open; }))
        throw tarnwick::ScanCancelledError();
      if (!state->failure.empty())
        throw std::runtime_error(state->failure);
      lock.unlock();
      return tarnwick::FastBulkScanner(2).scan(root, {}, stop);
    };
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
