// Measures what wall-clock comparisons cannot: bytes per node of the frozen
// tree, the process's peak resident memory per node over the first scan
// (target: at most 80 bytes), and how long a scan takes to stop once
// cancelled.
//
// usage: quillane-scan-probe TREE [--concurrency N] [--cancellations N]
#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Support/ScanErrors.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <thread>

using namespace tarnwick;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Cancels a scan `delay` seconds in and returns the seconds from the stop
// request until scan() has thrown, or a negative value if it finished first.
double cancellationLatency(const FastBulkScanner &scanner, const std::string &tree, double delay) {
  std::stop_source stop;
  Clock::time_point requested;
  double latency = -1;
  std::jthread scanThread([&] {
    try {
      scanner.scan(tree, {}, stop.get_token());
    } catch (const ScanCancelledError &) {
      latency = secondsSince(requested);
    }
  });
  std::this_thread::sleep_for(std::chrono::duration<double>(delay));
  requested = Clock::now();
  stop.request_stop();
  scanThread.join();
  return latency;
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: quillane-scan-probe TREE [--concurrency N] [--cancellations N]\n");
    return 2;
  }
  std::string tree = argv[1];
  int concurrency = 8, cancellations = 10;
  for (int i = 2; i + 1 < argc; i += 2) {
    std::string option = argv[i];
    if (option == "--concurrency")
      concurrency = std::atoi(argv[i + 1]);
    else if (option == "--cancellations")
      cancellations = std::atoi(argv[i + 1]);
  }
  FastBulkScanner scanner(concurrency);
  Clock::time_point start = Clock::now();
  DiskTreeArena arena = scanner.scan(tree);
  double scanSeconds = secondsSince(start);
  std::printf("nodes %zu, frozen tree %.1f bytes/node (%.1f MiB), scan %.3f s\n", arena.nodeCount(),
              static_cast<double>(arena.memoryBytes()) / static_cast<double>(arena.nodeCount()),
              static_cast<double>(arena.memoryBytes()) / (1 << 20), scanSeconds);
  // Before the cancelled scans, which could only raise it.
  if (struct rusage usage; ::getrusage(RUSAGE_SELF, &usage) == 0 && arena.nodeCount() > 0) {
    const double peakBytes = static_cast<double>(usage.ru_maxrss) * 1024;
    std::printf("peak resident %.1f bytes/node (%.1f MiB; target <= 80 bytes/node)\n",
                peakBytes / static_cast<double>(arena.nodeCount()), peakBytes / (1 << 20));
  }

  // Stop points spread over the scan, so cancellation lands in listing,
  // in queue waits and near the end.
  double worst = 0, worstAt = 0;
  int landed = 0;
  for (int i = 0; i < cancellations; ++i) {
    double delay = scanSeconds * (i + 0.5) / cancellations;
    double latency = cancellationLatency(scanner, tree, delay);
    if (latency >= 0) {
      ++landed;
      if (latency > worst) {
        worst = latency;
        worstAt = delay;
      }
    }
  }
  std::printf("cancellation: worst %.1f ms over %d cancelled scans (stop requested %.2f s in)\n", worst * 1000,
              landed, worstAt);
  return 0;
}
