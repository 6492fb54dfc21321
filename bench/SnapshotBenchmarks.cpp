// Saving and loading a remembered scan of the 1,000,000-node home-like tree
// against their budgets: save (encode, write, fsync, rename) at most 0.3 s,
// load (read, check, rebuild) at most 0.3 s, at most 40 bytes per node on
// disk, names and everything included. Each benchmark reports its
// seconds per round, bytes_per_node and within_budget (1 or 0).
//
// The tree's times are set as a scan reads them (seconds and nanoseconds),
// so they take the space real ones do. The snapshot folder is a scratch
// folder under $TMPDIR (else /tmp): its file system decides what fsync costs.
#include "SyntheticTrees.h"

#include "TarnwickCore/Snapshot/ScanSnapshotReader.h"
#include "TarnwickCore/Snapshot/ScanSnapshotStore.h"
#include "TarnwickCore/Snapshot/ScanSnapshotWriter.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>

namespace {

using namespace tarnwick;
using Clock = std::chrono::steady_clock;

constexpr std::size_t nodeCount = 1'000'000;
constexpr double saveBudgetSeconds = 0.3;
constexpr double loadBudgetSeconds = 0.3;
constexpr double bytesPerNodeBudget = 40;

const DiskTreeArena &benchmarkTree() {
  static const DiskTreeArena tree = [] {
    const DiskTreeArena plain = quillane::bench::homeLikeTree(nodeCount);
    std::mt19937_64 random(11);
    DiskTreeArena::RecordTable records(plain.nodeCount());
    for (std::size_t i = 0; i < plain.nodeCount(); ++i) {
      records[i] = plain.record(static_cast<NodeID>(i));
      const auto seconds = 1'500'000'000 + static_cast<std::int64_t>(random() % 300'000'000);
      records[i].modificationTimestamp = static_cast<double>(seconds) + double(random() % 1'000'000'000) / 1e9;
    }
    return DiskTreeArena(plain.rootPath(), std::move(records), plain.namePool(), plain.scanReport());
  }();
  return tree;
}

struct ScratchFolder {
  std::string path;
  ScratchFolder() {
    const char *base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/quillane-snapshot-bench.XXXXXX";
    path = ::mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~ScratchFolder() {
    std::error_code ignored;
    if (!path.empty())
      std::filesystem::remove_all(path, ignored);
  }
};

void report(benchmark::State &state, double seconds, std::size_t rounds, std::uint64_t fileBytes, double budget) {
  const double perRound = seconds / static_cast<double>(std::max<std::size_t>(rounds, 1));
  const double perNode = static_cast<double>(fileBytes) / static_cast<double>(benchmarkTree().nodeCount());
  state.counters["nodes"] = static_cast<double>(benchmarkTree().nodeCount());
  state.counters["seconds"] = perRound;
  state.counters["bytes_per_node"] = perNode;
  state.counters["within_budget"] = perRound <= budget && perNode <= bytesPerNodeBudget ? 1 : 0;
}

void BM_SnapshotSave(benchmark::State &state) {
  const DiskTreeArena &tree = benchmarkTree();
  const ScratchFolder scratch;
  const ScanSnapshotStore store(scratch.path);
  double seconds = 0;
  std::size_t rounds = 0;
  std::string path;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    Result<std::string> saved = store.save(tree, 1'765'000'000);
    seconds += std::chrono::duration<double>(Clock::now() - start).count();
    ++rounds;
    if (!saved) {
      state.SkipWithError(saved.failure().message().c_str());
      return;
    }
    path = *saved;
  }
  report(state, seconds, rounds, std::filesystem::file_size(path), saveBudgetSeconds);
}
BENCHMARK(BM_SnapshotSave)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SnapshotLoad(benchmark::State &state) {
  const ScratchFolder scratch;
  const ScanSnapshotStore store(scratch.path);
  const Result<std::string> saved = store.save(benchmarkTree(), 1'765'000'000);
  if (!saved) {
    state.SkipWithError(saved.failure().message().c_str());
    return;
  }
  double seconds = 0;
  std::size_t rounds = 0;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    ScanSnapshotReader::Outcome loaded = store.load(benchmarkTree().rootPath());
    seconds += std::chrono::duration<double>(Clock::now() - start).count();
    ++rounds;
    if (const auto *error = std::get_if<ScanSnapshotError>(&loaded)) {
      state.SkipWithError(error->message().c_str());
      return;
    }
    benchmark::DoNotOptimize(std::get<DiskTreeArena>(loaded).nodeCount());
  }
  report(state, seconds, rounds, std::filesystem::file_size(*saved), loadBudgetSeconds);
}
BENCHMARK(BM_SnapshotLoad)->Unit(benchmark::kMillisecond)->UseRealTime();

// The two halves without the disk: what the format itself costs.
void BM_SnapshotEncodeOnly(benchmark::State &state) {
  std::size_t bytes = 0;
  for (auto _ : state)
    bytes = ScanSnapshotWriter::encode(benchmarkTree(), 0).size();
  state.counters["bytes_per_node"] = static_cast<double>(bytes) / static_cast<double>(benchmarkTree().nodeCount());
}
BENCHMARK(BM_SnapshotEncodeOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SnapshotDecodeOnly(benchmark::State &state) {
  const std::string bytes = ScanSnapshotWriter::encode(benchmarkTree(), 0);
  for (auto _ : state)
    benchmark::DoNotOptimize(ScanSnapshotReader::readBytes(bytes).index());
}
BENCHMARK(BM_SnapshotDecodeOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
