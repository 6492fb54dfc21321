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
#include <system_error>
#include <thread>

namespace tarnwick {
namespace {

// Seconds of CPU the whole process has used: the walkers and anything else
// running beside the scan, which is then busy enough not to want more.
double processCpuSeconds() {
  timespec now{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Seconds every core of the machine has spent idle (waiting on I/O
// included), from the first line of /proc/stat; nothing when unreadable.
std::optional<double> machineIdleSeconds() {
  std::ifstream stat("/proc/stat");
  std::string cpu;
  unsigned long long user = 0, nice = 0, system = 0, idle = 0, ioWait = 0;
  if (!(stat >> cpu >> user >> nice >> system >> idle >> ioWait) || cpu != "cpu")
    return std::nullopt;
  static const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
  return static_cast<double>(idle + ioWait) / static_cast<double>(ticksPerSecond > 0 ? ticksPerSecond : 100);
}

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
                     std::size_t ceiling, std::vector<std::jthread> &threads) {
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  std::mutex mutex;
  std::condition_variable_any wake;
  auto lastWall = std::chrono::steady_clock::now();
  double lastCpu = processCpuSeconds();
  std::optional<double> lastIdle = machineIdleSeconds();
  while (walkers.size() < ceiling) {
    std::unique_lock lock(mutex);
    if (wake.wait_for(lock, stop, WalkerPool::lookInterval, [] { return false; }) || stop.stop_requested())
      return;
    const auto wall = std::chrono::steady_clock::now();
    const double cpu = processCpuSeconds();
    const std::optional<double> idle = machineIdleSeconds();
    const double seconds = std::chrono::duration<double>(wall - lastWall).count();
    const double busyCores = (cpu - lastCpu) / seconds;
    // Walkers that wait for a core, not for the device, would only queue
    // for it in greater numbers.
    const double idleCores = idle && lastIdle ? (*idle - *lastIdle) / seconds : 0;
    lastWall = wall;
    lastCpu = cpu;
    lastIdle = idle;
    if (!WalkerPool::shouldAdd(busyCores, idleCores, walkers.size(), cores, context.queue.queuedCount()))
      continue;
    for (std::size_t i = 0; i < WalkerPool::walkersPerStep && walkers.size() < ceiling; ++i) {
      walkers.push_back(std::make_unique<DirectoryWalker>(context));
      if (!start(threads, *walkers.back()))
        return; // the system is out of threads: the walkers there are will do
    }
  }
}

} // namespace

void WalkerPool::run(ScanContext &context, std::vector<std::unique_ptr<DirectoryWalker>> &walkers,
                     std::size_t ceiling) {
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
      adder = std::jthread(addWhileWaiting, std::ref(context), std::ref(walkers), ceiling, std::ref(threads));
    } catch (const std::system_error &) {
    }
  }
  first.run();
}

} // namespace tarnwick
