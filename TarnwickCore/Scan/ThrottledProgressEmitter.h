#pragma once

#include "TarnwickCore/Scan/ScanProgress.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace tarnwick {

using ProgressHandler = std::function<void(const ScanProgress &)>;

/// Turns the walkers' many small increments into at most one report per
/// interval, plus a final one on request.
///
/// Threads: record() and emitFinal() are safe from any thread. The callback
/// runs on the calling thread after the lock is released, so reports built
/// by different threads may arrive out of order.
class ThrottledProgressEmitter {
public:
  /// Seconds since an arbitrary fixed point (the default is monotonic);
  /// injectable so throttling can be tested without sleeping. Must be safe
  /// to call from any thread.
  using WallClock = std::function<double()>;

  /// The interval is 1 / max(1, targetFrequencyHz) seconds. A null callback
  /// makes the emitter inert.
  ThrottledProgressEmitter(std::string rootPath, double targetFrequencyHz, ProgressHandler callback,
                           WallClock clock = monotonicClock);
  ThrottledProgressEmitter(const ThrottledProgressEmitter &) = delete;
  ThrottledProgressEmitter &operator=(const ThrottledProgressEmitter &) = delete;

  /// Adds the deltas; reports when an interval has passed since the last report.
  void record(std::int64_t filesDelta, std::int64_t dirsDelta, std::int64_t bytesDelta,
              std::string_view currentPath);
  /// Reports the current totals now, whatever the interval.
  void emitFinal(std::string_view currentPath);

  double intervalSeconds() const { return intervalSeconds_; }
  static double monotonicClock();

private:
  ScanProgress makeReport(std::string_view currentPath, double now) const; // needs lock_

  const std::string rootPath_;
  const double intervalSeconds_;
  const ProgressHandler callback_;
  const WallClock clock_;
  const double startTime_;

  std::mutex lock_;
  double lastEmitTimestamp_ = 0; // guarded by lock_, like the three totals
  std::int64_t filesCount_ = 0;
  std::int64_t dirsCount_ = 0;
  std::int64_t totalBytes_ = 0;
};

} // namespace tarnwick
