#include "TarnwickCore/Scan/ThrottledProgressEmitter.h"

#include <algorithm>
#include <chrono>
#include <optional>

namespace tarnwick {

double ThrottledProgressEmitter::monotonicClock() {
  // A monotonic clock: a wall clock stepped backwards would silence the
  // reports until it caught up. Only differences are ever used.
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

ThrottledProgressEmitter::ThrottledProgressEmitter(std::string rootPath, double targetFrequencyHz,
                                                   ProgressHandler callback, WallClock clock)
    : rootPath_(std::move(rootPath)), intervalSeconds_(1.0 / std::max(1.0, targetFrequencyHz)),
      callback_(std::move(callback)), clock_(std::move(clock)), startTime_(clock_()) {}

ScanProgress ThrottledProgressEmitter::makeReport(std::string_view currentPath, double now) const {
  return ScanProgress{rootPath_,   std::string(currentPath), filesCount_, dirsCount_,
                      totalBytes_, now - startTime_};
}

void ThrottledProgressEmitter::record(std::int64_t filesDelta, std::int64_t dirsDelta,
                                      std::int64_t bytesDelta, std::string_view currentPath) {
  if (!callback_)
    return;
  std::optional<ScanProgress> report;
  {
    std::lock_guard guard(lock_);
    filesCount_ += filesDelta;
    dirsCount_ += dirsDelta;
    totalBytes_ += bytesDelta;
    double now = clock_();
    if (now - lastEmitTimestamp_ >= intervalSeconds_) {
      lastEmitTimestamp_ = now;
      report = makeReport(currentPath, now);
    }
  }
  if (report)
    callback_(*report);
}

void ThrottledProgressEmitter::emitFinal(std::string_view currentPath) {
  if (!callback_)
    return;
  ScanProgress report;
  {
    std::lock_guard guard(lock_);
    report = makeReport(currentPath, clock_());
  }
  callback_(report);
}

} // namespace tarnwick
