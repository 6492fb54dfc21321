#include "TarnwickApp/Commands/InterruptWatcher.h"

#include <ctime>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace quillane {

InterruptWatcher::InterruptWatcher(std::stop_source stop) : stop_(std::move(stop)) {
  sigemptyset(&watched_);
  for (int signal : {SIGINT, SIGTERM, SIGHUP})
    sigaddset(&watched_, signal);
  pthread_sigmask(SIG_BLOCK, &watched_, &previous_);
  signals_.reset(::signalfd(-1, &watched_, SFD_CLOEXEC));
  // Without a signalfd (out of descriptors) the signals would stay blocked
  // and unread: leave them to their default action instead.
  if (!signals_)
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  wakeUp_.reset(::eventfd(0, EFD_CLOEXEC));
  thread_ = std::jthread([this] { watch(); });
}

InterruptWatcher::~InterruptWatcher() {
  // Wake the watcher at once; exiting must not wait out a poll timeout.
  stopping_ = true;
  const std::uint64_t one = 1;
  if (wakeUp_.valid() && ::write(wakeUp_.get(), &one, sizeof one) < 0) {
    // Nothing to do: the watcher then ends at its next timeout.
  }
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
  pollfd watched[2] = {{signals_.get(), POLLIN, 0}, {wakeUp_.get(), POLLIN, 0}};
  while (!stopping_) {
    // Without a wake-up descriptor (out of descriptors), poll with a timeout.
    if (::poll(watched, 2, wakeUp_.valid() ? -1 : 50) < 0)
      continue;
    if (watched[1].revents != 0)
      return;
    signalfd_siginfo info;
    if (watched[0].revents == 0 || ::read(signals_.get(), &info, sizeof info) != sizeof info)
      continue;
    int signal = static_cast<int>(info.ssi_signo);
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
