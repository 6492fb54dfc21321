// Compares two scans of a 1,000,000-node home-like tree that differ in about
// 1 % of their entries (sizes changed, entries renamed, removed or added),
// as `quillane diff` and the window do, against the budget: at most 1 s
// (median over the rounds, the largest 100 changes included) and a peak of
// at most twice the memory of the two trees.
//
// usage: quillane-bench-diff [--nodes N] [--rounds N]
//
// Peak memory is the process's peak resident size during the first
// comparison (reset through /proc/self/clear_refs once both trees are
// built) less its resident size before it.
#include "ProcessMemory.h"
#include "SyntheticTrees.h"

#include "TarnwickCore/Diff/TreeComparison.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <malloc.h>
#include <string>
#include <vector>

using namespace tarnwick;
using Clock = std::chrono::steady_clock;

using quillane::bench::statusBytes;

namespace {

constexpr double secondsBudget = 1.0;
constexpr double memoryRatioBudget = 2.0;

// One version of a tree of `total` nodes: folders of 1 to 40 entries with
// names unique in their folder, one in eight a folder. Both versions draw
// the same shape; the newer one changes the size of 0.5 % of the files,
// renames 0.2 % of the entries and leaves out 0.2 % of them, and adds a
// file to 0.3 % of the folders.
DiskTreeArena versionOfTree(std::size_t total, bool newer) {
  static constexpr const char *stems[] = {"index.js", "README.md", "photo.jpg", "clip.mp4", "libfoo.so", "main.cpp",
                                          "notes.txt", "data.bin",  "app.log",   "module.py"};
  std::mt19937_64 shape(5), change(9);
  TempNodeArena arena;
  TempTreeNode &root = arena.allocateBlock(1)[0];
  root.isDirectory = true;
  root.allocatedSize = 4096;
  quillane::bench::nameNode(arena, root, "user");
  std::size_t remaining = total - 1;
  std::deque<TempTreeNode *> pending{&root};
  while (remaining > 0 && !pending.empty()) {
    TempTreeNode *folder = pending.front();
    pending.pop_front();
    const std::size_t count = std::min<std::size_t>(1 + shape() % 40, remaining);
    remaining -= count;
    const std::uint64_t roll = change() % 1000;
    const bool added = newer && roll < 3;
    std::vector<TempTreeNode> entries;
    for (std::size_t i = 0; i < count; ++i) {
      TempTreeNode entry{};
      entry.isDirectory = shape() % 8 == 0 || (pending.empty() && i + 1 == count);
      entry.allocatedSize = 4096 * std::int64_t(1 + shape() % 16);
      std::string name = std::string(entry.isDirectory ? "folder" : stems[shape() % std::size(stems)]) + "-" +
                         std::to_string(i);
      const std::uint64_t what = change() % 1000;
      if (newer && what < 2)
        continue; // gone
      if (newer && what < 4)
        name += "~renamed";
      else if (newer && what < 9 && !entry.isDirectory)
        entry.allocatedSize += 4096 * std::int64_t(change() % 64) - 4096;
      quillane::bench::nameNode(arena, entry, name);
      entries.push_back(entry);
    }
    if (added) {
      TempTreeNode entry{};
      entry.allocatedSize = 1 << 20;
      quillane::bench::nameNode(arena, entry, "added-download.iso");
      entries.push_back(entry);
    }
    auto block = arena.allocateBlock(entries.size());
    std::copy(entries.begin(), entries.end(), block.begin());
    for (TempTreeNode &entry : block)
      if (entry.isDirectory)
        pending.push_back(&entry);
    folder->adoptChildren(block);
  }
  root.aggregate();
  return freezeTree(root, "/home/user", 2);
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

} // namespace

int main(int argc, char **argv) {
  std::size_t nodes = 1'000'000;
  int rounds = 5;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--nodes")
      nodes = std::max<std::size_t>(2, std::strtoull(argv[i + 1], nullptr, 10));
    else if (option == "--rounds")
      rounds = std::max(1, std::atoi(argv[i + 1]));
  }
  const DiskTreeArena older = versionOfTree(nodes, false);
  const DiskTreeArena newer = versionOfTree(nodes, true);
  ::malloc_trim(0); // the building's garbage must not be reused unseen by the comparison
  std::ofstream("/proc/self/clear_refs") << "5";
  const long long baseline = statusBytes("VmRSS");
  std::vector<double> seconds;
  long long peak = 0;
  std::size_t changedShown = 0;
  std::int64_t total = 0;
  for (int round = 0; round < rounds; ++round) {
    const Clock::time_point start = Clock::now();
    std::optional<TreeComparison> comparison = TreeComparison::compare(older, newer);
    const std::vector<SizeChange> largest = comparison->largestChanges(100);
    seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    if (round == 0) {
      peak = statusBytes("VmHWM") - baseline;
      changedShown = largest.size();
      total = comparison->totalDifference();
    }
  }
  const double trees = static_cast<double>(older.memoryBytes() + newer.memoryBytes());
  const double ratio = static_cast<double>(peak) / trees;
  const double time = median(seconds);
  std::printf("trees:         %zu and %zu nodes, %.1f MiB together\n", older.nodeCount(), newer.nodeCount(),
              trees / 1048576.0);
  std::printf("change:        %+lld bytes at the root, %zu largest changes listed\n", static_cast<long long>(total),
              changedShown);
  std::printf("compare:       median %.3f s, best %.3f s over %d rounds (budget %.1f s)\n", time,
              *std::min_element(seconds.begin(), seconds.end()), rounds, secondsBudget);
  std::printf("peak memory:   %.1f MiB, %.2f x the two trees (budget %.1f x)\n", static_cast<double>(peak) / 1048576.0,
              ratio, memoryRatioBudget);
  return time <= secondsBudget && ratio <= memoryRatioBudget ? 0 : 1;
}
