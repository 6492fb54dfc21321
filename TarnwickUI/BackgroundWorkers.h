#pragma once

#include <QObject>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tarnwick {

/// Threads doing blocking work for an object of the GUI thread, and the way
/// back: `post` from any thread runs a closure on the GUI thread, one queued
/// call per closure, in the order posted.
///
/// Ownership: declare it as the owner's LAST member, so it is destroyed
/// first: its destructor joins every thread (the owner asks them to stop
/// before that), and closures still waiting die with it, undelivered.
///
/// Threads: launch() and the destructor on the GUI thread; post() anywhere.
class BackgroundWorkers : public QObject {
  Q_OBJECT

public:
  BackgroundWorkers() = default;
  ~BackgroundWorkers() override;

  enum class Priority { normal, background };
  /// Runs `work` on a thread of its own, first joining finished ones. At
  /// background priority the thread, and every thread it starts, yields the
  /// processor to the GUI thread when both want it.
  void launch(std::function<void()> work, Priority priority = Priority::normal);
  void post(std::function<void()> delivery);

private:
  // Invoked by name: the queued event then carries no data of ours, and
  // everything it delivers crossed threads under mailboxMutex_.
  Q_INVOKABLE void deliverOne();

  struct Worker {
    std::shared_ptr<std::atomic<bool>> finished;
    std::jthread thread;
  };
  std::vector<Worker> workers_;
  std::mutex mailboxMutex_;
  std::deque<std::function<void()>> mailbox_; // guarded by mailboxMutex_
};

} // namespace tarnwick
