#include "TarnwickCore/Scan/ScanWorkQueue.h"

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
  changed_.wait(lock, stop_, [this] { return !items_.empty() || outstanding_ == 0; });
  if (stop_.stop_requested() || items_.empty())
    return std::nullopt;
  ScanWorkItem item = std::move(items_.front());
  items_.pop_front();
  return item;
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
