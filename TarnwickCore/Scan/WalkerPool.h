#pragma once

#include "TarnwickCore/Scan/DirectoryWalker.h"
#include "TarnwickCore/Scan/ScanLoadProbe.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <memory>
#include <vector>

namespace tarnwick {

struct ScanContext;

/// Runs the walkers of one scan until its queue is drained or the scan
/// stops. The walkers given start at once, the first on the calling thread;
/// while the running ones spend most of their time waiting on the device
/// rather than computing (a cold cache, a slow or network file system),
/// more are added, up to `ceiling` in all, since more listings in flight
/// then finish sooner. Waiting is told by the cores: the walkers keep less
/// than half of those they could use busy while the machine leaves as many
/// idle; walkers short of a core are not helped by more of them. Added walkers are appended to `walkers`, which the
/// caller owns and reads only after run() returns.
///
/// Threads the system refuses are done without: the walkers share one
/// queue, so fewer of them read the same tree, only more slowly.
class WalkerPool {
public:
  /// How often the pool looks at the walkers. Each look that finds them
  /// waiting doubles them (up to the ceiling): a cold scan of a second or
  /// so reaches the ceiling within two looks instead of six.
  static constexpr std::chrono::milliseconds lookInterval{25};

  /// `probe` tells the load between looks.
  static void run(ScanContext &context, std::vector<std::unique_ptr<DirectoryWalker>> &walkers,
                  std::size_t ceiling, const ScanLoadProbe &probe);

  /// Whether `running` walkers that kept `busyCores` cores busy on average
  /// (CPU seconds per wall second) on a machine of `cores`, `idleCores` of
  /// which sat idle meanwhile, are mostly waiting on the device, with more
  /// folders queued than walkers to take them.
  static bool shouldAdd(double busyCores, double idleCores, std::size_t running, unsigned cores,
                        std::size_t queued) {
    const double couldUse = static_cast<double>(std::min<std::size_t>(running, cores));
    return queued > running && busyCores < couldUse / 2 && idleCores >= couldUse / 2;
  }
};

} // namespace tarnwick
