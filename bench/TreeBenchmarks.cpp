// Micro-benchmarks of the in-memory tree: folding and freezing a scanned
// tree, and the queries the UI makes against the frozen one.
//
// The synthetic trees are deterministic, fan-out shaped like real ones
// (mostly small directories, about one child in eight a directory, 12-byte
// names) and always contain one directory with 10,000 children and one
// 300-level chain, so the wide and deep queries have a fixed subject.

#include "TarnwickCore/Tree/DiskTreeArena.h"
#include "TarnwickCore/Tree/TempNodeArena.h"
#include "TarnwickCore/Tree/TempTreeNode.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <vector>

namespace {

using tarnwick::DiskTreeArena;
using tarnwick::NodeID;
using tarnwick::TempNodeArena;
using tarnwick::TempTreeNode;

constexpr std::uint32_t wideChildren = 10000;
constexpr int chainDepth = 300;

struct SyntheticTree {
  TempNodeArena arena;
  TempTreeNode *root = nullptr;
  std::vector<TempTreeNode *> directories;
  std::size_t nodeCount = 0;

  /// Undoes aggregate(): aggregation adds into directory sizes, so each
  /// timed run must start from the scan's state (directories all zero).
  void resetTotals() {
    for (TempTreeNode *d : directories)
      d->allocatedSize = 0;
  }
};

class Lcg {
public:
  std::uint32_t next() {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<std::uint32_t>(state_ >> 33);
  }
  std::uint32_t below(std::uint32_t n) { return next() % n; }

private:
  std::uint64_t state_ = 0x2545f4914f6cdd1dULL;
};

/// A tree of exactly `total` nodes (root included); `total` must exceed the
/// wide directory and the chain.
std::unique_ptr<SyntheticTree> buildTree(std::size_t total) {
  auto tree = std::make_unique<SyntheticTree>();
  Lcg rng;
  std::size_t serial = 0;
  auto initialize = [&](TempTreeNode &node, bool directory) {
    char name[16];
    std::snprintf(name, sizeof name, "n%011zu", serial++);
    std::string_view stored = tree->arena.storeName(name);
    node.nameBytes = stored.data();
    node.nameLength = static_cast<std::uint16_t>(stored.size());
    node.isDirectory = directory;
    node.modificationTimestamp = 1.6e9 + rng.below(100000000);
    if (directory) {
      tree->directories.push_back(&node);
    } else {
      // Mostly one to a few blocks, a long tail of larger files.
      std::uint32_t blocks = 1 + rng.below(4);
      if (rng.below(50) == 0)
        blocks *= 1 + rng.below(4096);
      node.allocatedSize = std::int64_t{blocks} * 4096;
    }
  };

  tree->root = &tree->arena.allocateBlock(1)[0];
  initialize(*tree->root, true);
  std::size_t remaining = total - 1;

  // Under the root: the wide directory, the chain's head, and the first
  // ordinary directory, from which everything else grows breadth-first.
  auto top = tree->arena.allocateBlock(3);
  for (TempTreeNode &n : top)
    initialize(n, true);
  tree->root->adoptChildren(top);
  remaining -= 3;

  auto wide = tree->arena.allocateBlock(wideChildren);
  for (TempTreeNode &n : wide)
    initialize(n, false);
  top[0].adoptChildren(wide);
  remaining -= wideChildren;

  // The chain: directories nested chainDepth deep with one file at the bottom.
  TempTreeNode *link = &top[1];
  for (int level = 1; level <= chainDepth; ++level) {
    auto next = tree->arena.allocateBlock(1);
    initialize(next[0], level < chainDepth);
    link->adoptChildren(next);
    link = &next[0];
    --remaining;
  }

  std::deque<TempTreeNode *> pending{&top[2]};
  while (remaining > 0 && !pending.empty()) {
    TempTreeNode *dir = pending.front();
    pending.pop_front();
    // Small directories dominate; one in forty is large.
    std::size_t count = 1 + rng.below(16);
    if (rng.below(40) == 0)
      count = 50 + rng.below(500);
    count = std::min(count, remaining);
    auto block = tree->arena.allocateBlock(count);
    for (std::size_t i = 0; i < count; ++i) {
      // Keep the frontier alive until the budget is spent.
      bool directory = rng.below(8) == 0 || (pending.empty() && i + 1 == count);
      initialize(block[i], directory);
      if (directory)
        pending.push_back(&block[i]);
    }
    dir->adoptChildren(block);
    remaining -= count;
  }
  tree->nodeCount = total - remaining;
  return tree;
}

SyntheticTree &treeOf(std::size_t nodes) {
  static std::map<std::size_t, std::unique_ptr<SyntheticTree>> cache;
  auto &slot = cache[nodes];
  if (!slot)
    slot = buildTree(nodes);
  return *slot;
}

/// The frozen form of the 1M-node tree plus the subjects of the queries.
struct FrozenFixture {
  DiskTreeArena arena;
  NodeID wideID = -1;
  NodeID deepID = -1;
  std::vector<NodeID> randomIDs;
};

const FrozenFixture &frozen() {
  static const FrozenFixture fixture = [] {
    SyntheticTree &tree = treeOf(1000000);
    tree.resetTotals();
    tree.root->aggregate();
    FrozenFixture f;
    f.arena = tarnwick::freezeTree(*tree.root, "/bench/root");
    // Parents precede children, so depths fill in one forward pass.
    std::vector<int> depth(f.arena.nodeCount(), 0);
    for (std::size_t i = 1; i < depth.size(); ++i) {
      const auto &r = f.arena.record(static_cast<NodeID>(i));
      depth[i] = depth[static_cast<std::size_t>(r.parentID)] + 1;
      if (f.deepID < 0 || depth[i] > depth[static_cast<std::size_t>(f.deepID)])
        f.deepID = static_cast<NodeID>(i);
      if (r.childCount == wideChildren)
        f.wideID = static_cast<NodeID>(i);
    }
    Lcg rng;
    for (int i = 0; i < 4096; ++i)
      f.randomIDs.push_back(static_cast<NodeID>(rng.below(static_cast<std::uint32_t>(f.arena.nodeCount()))));
    return f;
  }();
  return fixture;
}

void BM_BuildTempTree(benchmark::State &state) {
  auto nodes = static_cast<std::size_t>(state.range(0));
  for (auto _ : state) {
    auto tree = buildTree(nodes);
    benchmark::DoNotOptimize(tree->root);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_BuildTempTree)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_AggregateAndFreeze(benchmark::State &state) {
  SyntheticTree &tree = treeOf(static_cast<std::size_t>(state.range(0)));
  std::size_t memory = 0;
  std::size_t count = 0;
  for (auto _ : state) {
    state.PauseTiming();
    tree.resetTotals();
    state.ResumeTiming();
    tree.root->aggregate();
    DiskTreeArena arena = tarnwick::freezeTree(*tree.root, "/bench/root");
    memory = arena.memoryBytes();
    count = arena.nodeCount();
    benchmark::DoNotOptimize(arena);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
  state.counters["nodes"] = static_cast<double>(count);
  state.counters["frozen_bytes_per_node"] = static_cast<double>(memory) / static_cast<double>(count);
  state.counters["temp_bytes_per_node"] =
      static_cast<double>(sizeof(TempTreeNode)) +
      static_cast<double>(tree.arena.nameBytes()) / static_cast<double>(tree.arena.nodeCount());
}
BENCHMARK(BM_AggregateAndFreeze)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_FreezeOnly(benchmark::State &state) {
  SyntheticTree &tree = treeOf(static_cast<std::size_t>(state.range(0)));
  tree.resetTotals();
  tree.root->aggregate();
  for (auto _ : state) {
    DiskTreeArena arena = tarnwick::freezeTree(*tree.root, "/bench/root");
    benchmark::DoNotOptimize(arena);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_FreezeOnly)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_ChildrenOfWideDirectory(benchmark::State &state) {
  const FrozenFixture &f = frozen();
  for (auto _ : state) {
    auto children = f.arena.children(f.wideID);
    benchmark::DoNotOptimize(children.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * wideChildren);
}
BENCHMARK(BM_ChildrenOfWideDirectory)->Unit(benchmark::kMicrosecond);

void BM_NodeForRandomID(benchmark::State &state) {
  const FrozenFixture &f = frozen();
  std::size_t i = 0;
  for (auto _ : state) {
    auto node = f.arena.node(f.randomIDs[i++ % f.randomIDs.size()]);
    benchmark::DoNotOptimize(node);
  }
}
BENCHMARK(BM_NodeForRandomID);

void BM_BreadcrumbChainDeep(benchmark::State &state) {
  const FrozenFixture &f = frozen();
  std::size_t length = 0;
  for (auto _ : state) {
    auto chain = f.arena.breadcrumbChain(f.deepID);
    length = chain.size();
    benchmark::DoNotOptimize(chain.data());
  }
  state.counters["chain_length"] = static_cast<double>(length);
}
BENCHMARK(BM_BreadcrumbChainDeep)->Unit(benchmark::kMicrosecond);

} // namespace
