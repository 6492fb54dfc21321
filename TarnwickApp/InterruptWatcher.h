#pragma once

#include <atomic>
#include <csignal>
#include <stop_token>
#include <thread>

namespace quillane {

/// Turns SIGINT and SIGTERM into a stop request for as long as it lives.
/// Construct it before starting worker threads: it blocks both signals in the
/// calling thread, so threads created afterwards inherit the mask and only
/// the watcher's own thread receives them. The previous mask is restored on
/// destruction.
class InterruptWatcher {
public:
  explicit InterruptWatcher(std::stop_source stop);
  ~InterruptWatcher();
  InterruptWatcher(const InterruptWatcher &) = delete;
  InterruptWatcher &operator=(const InterruptWatcher &) = delete;

  /// Which signal arrived, or 0.
  int receivedSignal() const { return received_.load(); }

private:
  sigset_t watched_;
  sigset_t previous_;
  std::atomic<int> received_{0};
  std::atomic<bool> finished_{false};
  std::jthread thread_;
};

} // namespace quillane
