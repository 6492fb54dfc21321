#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <utility>
#include <vector>

/// Directories waiting for a worker, shared by the worker threads of the
/// benchmark tools. LIFO, so the walk stays deep and the stack small.
/// Workers are done when the stack is empty and nobody still holds a
/// directory (whose sub-directories could refill it).
template <typename Item> class SharedWorkStack {
public:
  /// Queues the first directory; call before the workers start.
  void start(Item root) {
    std::lock_guard lock(mutex_);
    stack_.push_back(std::move(root));
  }

  /// The next directory, or false once all work is done. Every true answer
  /// must be followed by finish().
  bool pop(Item &out) {
    std::unique_lock lock(mutex_);
    ready_.wait(lock, [&] { return !stack_.empty() || busy_ == 0; });
    if (stack_.empty())
      return false;
    out = std::move(stack_.back());
    stack_.pop_back();
    ++busy_;
    return true;
  }

  /// Queues what one directory yielded (one lock per directory, not per
  /// sub-directory), empties `found` and marks that directory done.
  void finish(std::vector<Item> &found) {
    std::lock_guard lock(mutex_);
    for (Item &item : found)
      stack_.push_back(std::move(item));
    found.clear();
    --busy_;
    if (!stack_.empty() || busy_ == 0)
      ready_.notify_all();
  }

private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::vector<Item> stack_;
  std::size_t busy_ = 0;
};
