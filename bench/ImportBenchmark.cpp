// Reads a scan export into a tree, as `quillane scan --import` does, and
// checks the reader against its budget: at most 1.5 s (median over the
// rounds) and at most 100 bytes per entry of peak memory for the export of
// the 1,000,000-entry benchmark tree.
//
// usage: quillane-bench-import EXPORT [--rounds N]
//
// Peak memory is the process's peak resident size during the first read
// less its resident size before it, so run it on its own (it is one
// process per export on purpose: a tree made earlier in the same process
// would hide in the baseline).
#include "ProcessMemory.h"
#include "TarnwickCore/Import/NcduExportReader.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

using namespace tarnwick;
using Clock = std::chrono::steady_clock;

using quillane::bench::statusBytes;

namespace {

constexpr double secondsBudget = 1.5;
constexpr double bytesPerEntryBudget = 100;

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: quillane-bench-import EXPORT [--rounds N]\n");
    return 2;
  }
  const std::string path = argv[1];
  int rounds = 5;
  for (int i = 2; i + 1 < argc; i += 2)
    if (std::string(argv[i]) == "--rounds")
      rounds = std::max(1, std::atoi(argv[i + 1]));

  const long long baseline = statusBytes("VmRSS");
  std::vector<double> seconds;
  std::size_t entries = 0;
  long long peak = 0;
  for (int round = 0; round < rounds; ++round) {
    const Clock::time_point start = Clock::now();
    NcduExportReader::Outcome outcome = NcduExportReader::readFile(path);
    seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    if (const auto *error = std::get_if<ExportReadError>(&outcome)) {
      std::fprintf(stderr, "quillane-bench-import: %s: %s\n", path.c_str(), error->message().c_str());
      return 2;
    }
    if (round == 0) {
      entries = std::get<DiskTreeArena>(outcome).nodeCount();
      peak = statusBytes("VmHWM") - baseline;
    }
  }
  const double perEntry = static_cast<double>(peak) / static_cast<double>(std::max<std::size_t>(entries, 1));
  const double time = median(seconds);
  std::printf("export:        %s\n", path.c_str());
  std::printf("entries:       %zu\n", entries);
  std::printf("read:          median %.3f s, best %.3f s over %d rounds (budget %.1f s)\n", time,
              *std::min_element(seconds.begin(), seconds.end()), rounds, secondsBudget);
  std::printf("peak memory:   %.1f MiB, %.1f B/entry (budget %.0f B/entry)\n", static_cast<double>(peak) / 1048576.0,
              perEntry, bytesPerEntryBudget);
  return time <= secondsBudget && perEntry <= bytesPerEntryBudget ? 0 : 1;
}
