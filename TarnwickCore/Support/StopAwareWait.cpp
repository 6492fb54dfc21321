#include "TarnwickCore/Support/StopAwareWait.h"

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace tarnwick {
namespace {

constexpr int pollingMilliseconds = 100;

} // namespace

void StopAwareWait::Wake::operator()() const noexcept {
  const std::uint64_t one = 1;
  // A full counter is readable already, which is all the waiter needs.
  [[maybe_unused]] const ssize_t written = ::write(fd, &one, sizeof one);
}

StopAwareWait::StopAwareWait(std::stop_token stop) : stop_(std::move(stop)) {
  if (!stop_.stop_possible())
    return;
  event_.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (event_.valid())
    wake_.emplace(stop_, Wake{event_.get()});
}

bool StopAwareWait::waitReadable(int fd) const {
  // poll() ignores a negative descriptor: without the event descriptor only
  // `fd` is watched, with a timeout if a stop may come.
  pollfd watched[2] = {{fd, POLLIN, 0}, {event_.get(), POLLIN, 0}};
  for (;;) {
    if (stop_.stop_requested())
      return false;
    const int timeout = event_.valid() || !stop_.stop_possible() ? -1 : pollingMilliseconds;
    const int ready = ::poll(watched, 2, timeout);
    if (ready < 0 && errno != EINTR)
      return true;
    if (ready > 0 && watched[0].revents != 0)
      return !stop_.stop_requested();
  }
}

} // namespace tarnwick
