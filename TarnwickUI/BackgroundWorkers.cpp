#include "TarnwickUI/BackgroundWorkers.h"

#include <QMetaObject>

namespace tarnwick {

BackgroundWorkers::~BackgroundWorkers() {
  workers_.clear(); // joins
}

void BackgroundWorkers::launch(std::function<void()> work) {
  std::erase_if(workers_, [](const Worker &worker) { return worker.finished->load(); });
  auto finished = std::make_shared<std::atomic<bool>>(false);
  workers_.push_back({finished, std::jthread([finished, work = std::move(work)] {
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
