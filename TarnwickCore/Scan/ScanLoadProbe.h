#pragma once

#include <functional>
#include <optional>

namespace tarnwick {

/// How busy the process and the machine have been, each as seconds
/// counted from some fixed time: what WalkerPool compares between two
/// looks to tell walkers that wait on the device from walkers short of a
/// core.
struct ScanLoadSample {
  /// CPU seconds the process has used, all threads together.
  double processCpuSeconds = 0;
  /// Seconds the machine's cores have sat idle (waiting on I/O included),
  /// added over the cores; nothing when the system does not say.
  std::optional<double> machineIdleSeconds;
};

/// Takes a sample; called on a helper thread of the scan. Tests substitute
/// their own, so that the machine's real load cannot change their outcome.
using ScanLoadProbe = std::function<ScanLoadSample()>;

/// The process's CPU clock and the first line of /proc/stat.
ScanLoadSample sampleSystemLoad();

} // namespace tarnwick
