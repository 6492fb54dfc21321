#pragma once

#include "TarnwickCore/Support/UniqueFd.h"

#include <atomic>
#include <csignal>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>

namespace quillane {

/// Turns SIGINT, SIGTERM and SIGHUP into a stop request for as long as it
/// lives. A second signal, for a user whose first one could not be honoured
/// (the program is blocked opening a FIFO nobody reads, say), runs the
/// cleanup action and ends the process by that signal.
///
/// Construct it before starting worker threads: it blocks the signals in the
/// calling thread, so threads created afterwards inherit the mask and only
/// the watcher's own thread receives them. On destruction, signals still
/// pending are consumed (and reported by receivedSignal()) and the previous
/// mask is restored.
class InterruptWatcher {
public:
  explicit InterruptWatcher(std::stop_source stop);
  ~InterruptWatcher();
  InterruptWatcher(const InterruptWatcher &) = delete;
  InterruptWatcher &operator=(const InterruptWatcher &) = delete;

  /// What to undo before a forced exit (for example, remove a temporary
  /// file). Runs on the watcher's thread; replacing or clearing it waits
  /// for a running action to finish.
  void setCleanup(std::function<void()> cleanup);

  /// The first signal that arrived, or 0.
  int receivedSignal() const { return received_.load(); }

private:
  void watch();
  void forceExit(int signal);

  std::stop_source stop_;
  sigset_t watched_;
  sigset_t previous_;
  tarnwick::UniqueFd signals_; // signalfd for the watched signals
  tarnwick::UniqueFd wakeUp_;  // eventfd the destructor writes to
  std::atomic<int> received_{0};
  /// Set by the destructor; the watcher polls it when it has no wake-up
  /// descriptor (out of descriptors).
  std::atomic<bool> stopping_{false};
  std::mutex cleanupLock_;
  std::function<void()> cleanup_; // guarded by cleanupLock_
  std::jthread thread_;
};

} // namespace quillane
