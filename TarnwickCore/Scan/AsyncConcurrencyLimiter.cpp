#include "TarnwickCore/Scan/AsyncConcurrencyLimiter.h"

#include <algorithm>

namespace tarnwick {

AsyncConcurrencyLimiter::AsyncConcurrencyLimiter(std::int64_t limit) : limit_(std::max<std::int64_t>(limit, 1)) {}

void AsyncConcurrencyLimiter::acquire() {
  std::unique_lock lock(mutex_);
  if (activeCount_ < limit_) {
    ++activeCount_;
    return;
  }
  Waiter waiter;
  waiters_.push_back(&waiter);
  waiter.wakeUp.wait(lock, [&waiter] { return waiter.granted; });
}

void AsyncConcurrencyLimiter::release() {
  std::lock_guard lock(mutex_);
  if (waiters_.empty()) {
    activeCount_ = std::max<std::int64_t>(0, activeCount_ - 1);
    return;
  }
  // The slot passes to the oldest waiter; activeCount_ stays as it is.
  Waiter *next = waiters_.front();
  waiters_.pop_front();
  next->granted = true;
  next->wakeUp.notify_one();
}

std::int64_t AsyncConcurrencyLimiter::activeCount() const {
  std::lock_guard lock(mutex_);
  return activeCount_;
}

std::size_t AsyncConcurrencyLimiter::waiterCount() const {
  std::lock_guard lock(mutex_);
  return waiters_.size();
}

} // namespace tarnwick
