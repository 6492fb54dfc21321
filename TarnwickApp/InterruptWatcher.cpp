#include "TarnwickApp/InterruptWatcher.h"

#include <ctime>
#include <pthread.h>

namespace quillane {

InterruptWatcher::InterruptWatcher(std::stop_source stop) : stop_(std::move(stop)) {
  sigemptyset(&watched_);
  for (int signal : {SIGINT, SIGTERM, SIGHUP})
    sigaddset(&watched_, signal);
  pthread_sigmask(SIG_BLOCK, &watched_, &previous_);
  thread_ = std::jthread([this] { watch(); });
}

InterruptWatcher::~InterruptWatcher() {
  finished_.store(true);
  if (thread_.joinable())
    thread_.join();
  // A signal that arrived after the watcher stopped would otherwise be
  // delivered the moment the mask is restored, and kill the process.
  const timespec noWait{0, 0};
  for (int signal; (signal = sigtimedwait(&watched_, nullptr, &noWait)) > 0;) {
    int none = 0;
    received_.compare_exchange_strong(none, signal);
  }
  pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

void InterruptWatcher::setCleanup(std::function<void()> cleanup) {
  std::lock_guard lock(cleanupLock_);
  cleanup_ = std::move(cleanup);
}

void InterruptWatcher::watch() {
  // A short timeout lets the destructor end the thread promptly.
  const timespec pollInterval{0, 50'000'000};
  while (!finished_.load()) {
    int signal = sigtimedwait(&watched_, nullptr, &pollInterval);
    if (signal <= 0)
      continue;
    int none = 0;
    if (received_.compare_exchange_strong(none, signal))
      stop_.request_stop();
    else
      forceExit(signal);
  }
}

void InterruptWatcher::forceExit(int signal) {
  {
    std::lock_guard lock(cleanupLock_);
    if (cleanup_)
      cleanup_();
  }
  // Die by the signal itself, so the parent sees how the process ended.
  std::signal(signal, SIG_DFL);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  std::raise(signal);
}

} // namespace quillane
