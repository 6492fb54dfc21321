#pragma once

#include "TarnwickCore/Support/UniqueFd.h"

#include <optional>
#include <stop_token>

namespace tarnwick {

/// Waits for input on a descriptor that may never bring any (a pipe whose
/// writer stays open, a terminal) until a stop is requested. A stop request
/// wakes the wait at once, through an event descriptor its callback writes
/// to; without one (out of descriptors) the stop is looked at every tenth
/// of a second.
///
/// Threads: the stop may be requested on any thread; one waiter at a time.
class StopAwareWait {
public:
  explicit StopAwareWait(std::stop_token stop);
  StopAwareWait(const StopAwareWait &) = delete;
  StopAwareWait &operator=(const StopAwareWait &) = delete;

  /// True once `fd` can be read without blocking (input, its end or an
  /// error, which the read then reports); false once a stop is requested.
  bool waitReadable(int fd) const;

private:
  struct Wake {
    int fd;
    void operator()() const noexcept;
  };

  std::stop_token stop_;
  UniqueFd event_;
  /// Declared after the descriptor it writes to, so it goes first.
  std::optional<std::stop_callback<Wake>> wake_;
};

} // namespace tarnwick
