#include "TarnwickApp/InterruptWatcher.h"

#include <ctime>
#include <pthread.h>

namespace quillane {

InterruptWatcher::InterruptWatcher(std::stop_source stop) {
  sigemptyset(&watched_);
  sigaddset(&watched_, SIGINT);
  sigaddset(&watched_, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &watched_, &previous_);
  thread_ = std::jthread([this, stop]() mutable {
    // A short timeout lets the destructor end the thread promptly.
    const timespec pollInterval{0, 50'000'000};
    while (!finished_.load()) {
      int signal = sigtimedwait(&watched_, nullptr, &pollInterval);
      if (signal > 0) {
        received_.store(signal);
        stop.request_stop();
        return;
      }
    }
  });
}

InterruptWatcher::~InterruptWatcher() {
  finished_.store(true);
  if (thread_.joinable())
    thread_.join();
  pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

} // namespace quillane
