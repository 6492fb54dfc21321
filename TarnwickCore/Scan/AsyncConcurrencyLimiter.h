#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

namespace tarnwick {

/// Bounds how many callers hold a slot at once. Waiters are served strictly
/// first in, first out: a released slot passes straight to the oldest waiter
/// and never becomes free while someone waits, so nobody can overtake.
///
/// Threads: every member is safe to call from any thread.
class AsyncConcurrencyLimiter {
public:
  /// Limits below 1 behave as 1.
  explicit AsyncConcurrencyLimiter(std::int64_t limit);
  AsyncConcurrencyLimiter(const AsyncConcurrencyLimiter &) = delete;
  AsyncConcurrencyLimiter &operator=(const AsyncConcurrencyLimiter &) = delete;

  /// Blocks until the caller holds a slot. Never fails.
  void acquire();
  /// Gives back a slot taken by a completed acquire().
  void release();

  std::int64_t limit() const { return limit_; }
  std::int64_t activeCount() const;
  std::size_t waiterCount() const;

private:
  struct Waiter {
    std::condition_variable wakeUp;
    bool granted = false;
  };

  const std::int64_t limit_;
  mutable std::mutex mutex_;
  std::int64_t activeCount_ = 0;    // guarded by mutex_
  std::deque<Waiter *> waiters_;    // guarded by mutex_; each lives on its caller's stack
};

} // namespace tarnwick
