#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

#include <functional>

namespace quillane::test {

/// Runs the event loop until `done` holds or `limitMs` pass; returns `done()`.
inline bool waitFor(const std::function<bool()> &done, int limitMs = 5000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < limitMs)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

} // namespace quillane::test
