#include "TarnwickUI/BackgroundWorkers.h"

#include <QMetaObject>

#include <algorithm>
#include <cerrno>
#include <sys/resource.h>

namespace tarnwick {

BackgroundWorkers::~BackgroundWorkers() {
  workers_.clear(); // joins
}

namespace {

// Linux keeps a nice value per thread, and new threads inherit their
// creator's: lowering it here lowers every thread the work starts.
void lowerThisThreadsPriority() {
  errno = 0;
  const int nice = ::getpriority(PRIO_PROCESS, 0);
  if (errno == 0)
    ::setpriority(PRIO_PROCESS, 0, std::min(nice + 5, 19)); // best effort: a refusal changes nothing
}

} // namespace

void BackgroundWorkers::launch(std::function<void()> work, Priority priority) {
  std::erase_if(workers_, [](const Worker &worker) { return worker.finished->load(); });
  auto finished = std::make_shared<std::atomic<bool>>(false);
  workers_.push_back({finished, std::jthread([finished, priority, work = std::move(work)] {
                        if (priority == Priority::background)
                          lowerThisThreadsPriority();
                        work();
                        finished->store(true);
                      })});
}

void BackgroundWorkers::post(std::function<void()> delivery) {
  {
    std::lock_guard lock(mailboxMutex_);
    mailbox_.push_back(std::move(delivery));
  }
  QMetaObject::invokeMethod(this, "deliverOne", Qt::QueuedConnection);
}

void BackgroundWorkers::deliverOne() {
  std::function<void()> delivery;
  {
    std::lock_guard lock(mailboxMutex_);
    if (mailbox_.empty())
      return;
    delivery = std::move(mailbox_.front());
    mailbox_.pop_front();
  }
  delivery();
}

} // namespace tarnwick
