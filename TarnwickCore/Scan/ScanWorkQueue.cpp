#include "TarnwickCore/Scan/ScanWorkQueue.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace tarnwick {

void ScanWorkQueue::push(std::span<ScanWorkItem> items) {
  if (items.empty())
    return;
  {
    std::lock_guard lock(mutex_);
    items_.insert(items_.end(), std::make_move_iterator(items.begin()),
                  std::make_move_iterator(items.end()));
    outstanding_ += items.size();
  }
  if (items.size() == 1)
    changed_.notify_one();
  else
    changed_.notify_all();
}

std::optional<ScanWorkItem> ScanWorkQueue::pop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    ++idle_;
    changed_.wait(lock, stop_, [this] { return !items_.empty() || outstanding_ == 0 || !shared_.empty(); });
    --idle_;
    if (stop_.stop_requested())
      return std::nullopt;
    if (!items_.empty()) {
      ScanWorkItem item = std::move(items_.front());
      items_.pop_front();
      return item;
    }
    if (shared_.empty())
      return std::nullopt;
    // Help with the newest shared work, then look again.
    SharedWork &shared = *shared_.back();
    ++shared.helpers;
    lock.unlock();
    shared.runSlices();
    lock.lock();
    // Nothing left to claim: no one else need come.
    std::erase(shared_, &shared);
    if (--shared.helpers == 0)
      helpersLeft_.notify_all();
  }
}

void ScanWorkQueue::SharedWork::runSlices() {
  for (;;) {
    const std::size_t begin = next.fetch_add(slice, std::memory_order_relaxed);
    if (begin >= count)
      return;
    work(begin, std::min(begin + slice, count));
  }
}

void ScanWorkQueue::share(std::size_t count, std::size_t slice, const SliceWork &work) {
  SharedWork shared{work, count, std::max<std::size_t>(slice, 1)};
  bool offered = false;
  if (count > shared.slice) {
    std::lock_guard lock(mutex_);
    if (idle_ > 0) {
      shared_.push_back(&shared);
      offered = true;
    }
  }
  if (offered)
    changed_.notify_all();
  shared.runSlices();
  if (!offered)
    return;
  // The slices helpers claimed may still be running; they write what this
  // walker reads next.
  std::unique_lock lock(mutex_);
  std::erase(shared_, &shared);
  helpersLeft_.wait(lock, [&shared] { return shared.helpers == 0; });
}

std::size_t ScanWorkQueue::idleCount() {
  std::lock_guard lock(mutex_);
  return idle_;
}

std::size_t ScanWorkQueue::queuedCount() {
  std::lock_guard lock(mutex_);
  return items_.size();
}

void ScanWorkQueue::finish(std::span<ScanWorkItem> found) {
  bool drained;
  {
    std::lock_guard lock(mutex_);
    items_.insert(items_.end(), std::make_move_iterator(found.begin()),
                  std::make_move_iterator(found.end()));
    outstanding_ += found.size();
    drained = --outstanding_ == 0;
  }
  // Waiters wake for new items, or to leave once everything is done.
  if (drained || found.size() > 1)
    changed_.notify_all();
  else if (found.size() == 1)
    changed_.notify_one();
}

std::deque<ScanWorkItem> ScanWorkQueue::takeLeftOver() {
  std::lock_guard lock(mutex_);
  outstanding_ -= items_.size();
  return std::exchange(items_, {});
}

} // namespace tarnwick
