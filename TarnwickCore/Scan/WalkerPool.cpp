#include "TarnwickCore/Scan/WalkerPool.h"

#include "TarnwickCore/Scan/ScanContext.h"

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <system_error>
#include <thread>

namespace tarnwick {
namespace {

// Starts a thread for `walker`; false when the system refuses one.
bool start(std::vector<std::jthread> &threads, DirectoryWalker &walker) {
  try {
    threads.emplace_back([&walker] { walker.run(); });
    return true;
  } catch (const std::system_error &) {
    return false;
  }
}

// Adds walkers while the running ones wait, until `stop` or the ceiling.
void addWhileWaiting(std::stop_token stop, ScanContext &context, std::vector<std::unique_ptr<DirectoryWalker>> &walkers,
                     std::size_t ceiling, std::vector<std::jthread> &threads, const ScanLoadProbe &probe) {
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  std::mutex mutex;
  std::condition_variable_any wake;
  auto lastWall = std::chrono::steady_clock::now();
  ScanLoadSample last = probe();
  while (walkers.size() < ceiling) {
    std::unique_lock lock(mutex);
    if (wake.wait_for(lock, stop, WalkerPool::lookInterval, [] { return false; }) || stop.stop_requested())
      return;
    const auto wall = std::chrono::steady_clock::now();
    const ScanLoadSample now = probe();
    const double seconds = std::chrono::duration<double>(wall - lastWall).count();
    const double busyCores = (now.processCpuSeconds - last.processCpuSeconds) / seconds;
    // Walkers that wait for a core, not for the device, would only queue
    // for it in greater numbers.
    const double idleCores = now.machineIdleSeconds && last.machineIdleSeconds
                                 ? (*now.machineIdleSeconds - *last.machineIdleSeconds) / seconds
                                 : 0;
    lastWall = wall;
    last = now;
    if (!WalkerPool::shouldAdd(busyCores, idleCores, walkers.size(), cores, context.queue.queuedCount()))
      continue;
    for (std::size_t added = 0, step = walkers.size(); added < step && walkers.size() < ceiling; ++added) {
      walkers.push_back(std::make_unique<DirectoryWalker>(context));
      if (!start(threads, *walkers.back()))
        return; // the system is out of threads: the walkers there are will do
    }
  }
}

} // namespace

ScanLoadSample sampleSystemLoad() {
  ScanLoadSample sample;
  timespec cpu{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
  sample.processCpuSeconds = static_cast<double>(cpu.tv_sec) + static_cast<double>(cpu.tv_nsec) / 1e9;
  std::ifstream stat("/proc/stat");
  std::string label;
  unsigned long long user = 0, nice = 0, system = 0, idle = 0, ioWait = 0;
  if (stat >> label >> user >> nice >> system >> idle >> ioWait && label == "cpu") {
    static const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
    sample.machineIdleSeconds =
        static_cast<double>(idle + ioWait) / static_cast<double>(ticksPerSecond > 0 ? ticksPerSecond : 100);
  }
  return sample;
}

void WalkerPool::run(ScanContext &context, std::vector<std::unique_ptr<DirectoryWalker>> &walkers,
                     std::size_t ceiling, const ScanLoadProbe &probe) {
  DirectoryWalker &first = *walkers.front();
  std::vector<std::jthread> threads;
  threads.reserve(std::max(ceiling, walkers.size()));
  for (std::size_t i = 1; i < walkers.size(); ++i)
    if (!start(threads, *walkers[i]))
      break;
  // Declared after `threads`, so it is stopped and joined first: no walker
  // is added once the walk is over, and `walkers` is the caller's again.
  std::jthread adder;
  if (ceiling > walkers.size()) {
    try {
      adder = std::jthread([&](std::stop_token stop) {
        // More walkers only speed the scan up: out of memory, it goes on
        // with those it has. Nothing may escape a thread, which would end
        // the process.
        try {
          addWhileWaiting(std::move(stop), context, walkers, ceiling, threads, probe);
        } catch (...) {
        }
      });
    } catch (const std::system_error &) {
    }
  }
  first.run();
}

} // namespace tarnwick
