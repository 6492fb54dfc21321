// Google Benchmark of the treemap layout: compute() over wide folders and
// hitTest() over a full budget of tiles; of the storage gauge's shares of a
// tree of a million nodes; and of what the window does off its GUI thread
// to publish an edited tree (a removal, a folder's rescan).
#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Tree/ArenaEdit.h"
#include "TarnwickCore/Tree/FileTypeUsage.h"
#include "TarnwickCore/Tree/LargestFiles.h"
#include "TarnwickCore/Tree/NameSearch.h"
#include "TarnwickCore/Tree/TempNodeArena.h"
#include "TarnwickUI/CategoryShares.h"
#include "TarnwickUI/NestedTreemapLayout.h"
#include "TarnwickUI/NestedTreemapPainter.h"
#include "TarnwickUI/NestedTreemapScene.h"
#include "TarnwickUI/SquarifiedTreemapLayout.h"
#include "TarnwickUI/TreemapTilePainter.h"
#include "SyntheticTrees.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <random>

namespace {

using tarnwick::DiskNode;
using Layout = tarnwick::SquarifiedTreemapLayout;

// Children with heavy-tailed sizes, as a real folder has.
std::vector<DiskNode> children(std::size_t count) {
  std::mt19937_64 random(11);
  std::vector<DiskNode> nodes(count);
  for (std::size_t i = 0; i < count; ++i) {
    nodes[i].id = static_cast<tarnwick::NodeID>(i + 1);
    nodes[i].parentID = 0;
    nodes[i].name = "child-" + std::to_string(i);
    nodes[i].allocatedSize = static_cast<std::int64_t>(4096.0 * std::exp((random() % 1400) / 100.0));
    nodes[i].fileCount = 1;
  }
  return nodes;
}

void BM_Compute(benchmark::State &state) {
  const auto nodes = children(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state)
    benchmark::DoNotOptimize(Layout::compute(nodes, {1200, 800}, Layout::defaultMinPixelArea,
                                             Layout::defaultMaxVisibleRects, std::nullopt));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Compute)->Arg(10'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

void BM_HitTest(benchmark::State &state) {
  const auto tiles = Layout::compute(children(120), {1600, 1000}, Layout::defaultMinPixelArea,
                                     Layout::defaultMaxVisibleRects, std::nullopt);
  std::mt19937 random(3);
  std::uniform_real_distribution<double> x(0, 1600), y(0, 1000);
  for (auto _ : state)
    benchmark::DoNotOptimize(Layout::hitTestIndex({x(random), y(random)}, tiles));
}
BENCHMARK(BM_HitTest)->Unit(benchmark::kNanosecond);

// The full budget of tiles, most of them labelled, into a 1600 x 1000 image.
void BM_PaintTiles(benchmark::State &state) {
  const auto tiles = Layout::compute(children(120), {1600, 1000}, Layout::defaultMinPixelArea,
                                     Layout::defaultMaxVisibleRects, std::nullopt);
  QImage image(1600, 1000, QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    image.fill(Qt::black);
    QPainter painter(&image);
    tarnwick::TreemapTilePainter::paint(painter, tiles, tiles[3].id, tiles[5].id);
  }
}
BENCHMARK(BM_PaintTiles)->Unit(benchmark::kMillisecond);

// Computed once per scan on the scan's thread, before the tree is shown.
void BM_CategoryShares(benchmark::State &state) {
  const tarnwick::DiskTreeArena tree = quillane::bench::homeLikeTree(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state)
    benchmark::DoNotOptimize(tarnwick::CategoryShares::measure(tree));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CategoryShares)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

// The nested treemap of the whole tree at 1600 x 1000, as the explorer
// would lay it out on entering the root. Budget: 40 ms for 1,000,000 nodes.
void BM_NestedLayout(benchmark::State &state) {
  const tarnwick::DiskTreeArena tree = quillane::bench::homeLikeTree(1'000'000);
  tarnwick::NestedTreemapLayout::Options options;
  options.minTileArea = static_cast<double>(state.range(0));
  std::size_t tiles = 0;
  for (auto _ : state)
    tiles = tarnwick::NestedTreemapLayout::compute(tree, tarnwick::DiskTreeArena::rootID, {1600, 1000}, options).size();
  state.counters["tiles"] = double(tiles);
}
BENCHMARK(BM_NestedLayout)->Arg(16)->Arg(1)->Unit(benchmark::kMillisecond);

// Entering a folder of `files` files in the nested view, with the
// explorer's tile options: the scene (layout, categories) and then its
// first paint, every tile drawn. For 100,000 files both run on the layout
// thread, and must leave room, inside the window's 50 ms for that entry,
// for the breadcrumbs and the action bar; 2,000 entries, the most the GUI
// thread lays out itself, must fit in a frame (16 ms).
void BM_NestedWideFolder(benchmark::State &state) {
  const auto tree = std::make_shared<const tarnwick::DiskTreeArena>(
      quillane::bench::wideFolderTree(static_cast<std::size_t>(state.range(1))));
  const tarnwick::NodeID wide = tree->children(tarnwick::DiskTreeArena::rootID).front().id;
  const tarnwick::NestedTreemapLayout::Options options{.minTileArea = 20, .maxTiles = 50'000, .padding = 2,
                                                       .headerHeight = 14};
  QImage image(1309, 908, QImage::Format_ARGB32_Premultiplied);
  const bool paints = state.range(0) != 0;
  std::size_t tiles = 0;
  for (auto _ : state) {
    if (state.range(0) == 2) {
      tiles = tarnwick::NestedTreemapLayout::compute(*tree, wide, {1309, 908}, options).size();
      continue;
    }
    const auto scene = tarnwick::NestedTreemapScene::build(tree, wide, {1309, 908}, options);
    tiles = scene.tiles().size();
    if (paints) {
      QPainter painter(&image);
      tarnwick::NestedTreemapPainter::paint(painter, scene, {});
    }
  }
  state.counters["tiles"] = double(tiles);
}
BENCHMARK(BM_NestedWideFolder)
    ->ArgNames({"paint", "files"})
    ->Args({0, 100'000})
    ->Args({1, 100'000})
    ->Args({2, 100'000})
    ->Args({1, 2'000})
    ->Unit(benchmark::kMillisecond);

// The Largest Files and File Types views of the whole tree, computed off
// the GUI thread when the folder on show changes. Budget: 100 ms each for
// 1,000,000 nodes.
void BM_LargestFiles(benchmark::State &state) {
  const tarnwick::DiskTreeArena tree = quillane::bench::homeLikeTree(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state)
    benchmark::DoNotOptimize(tarnwick::largestFiles(tree, tarnwick::DiskTreeArena::rootID, 100));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LargestFiles)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

void BM_FileTypes(benchmark::State &state) {
  const tarnwick::DiskTreeArena tree = quillane::bench::homeLikeTree(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state)
    benchmark::DoNotOptimize(tarnwick::fileTypeUsage(tree, tarnwick::DiskTreeArena::rootID));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FileTypes)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

// One keystroke of the search field: the whole tree for a substring
// (range 0) or a glob (range 1). Budget: 200 ms for 1,000,000 nodes.
void BM_NameSearch(benchmark::State &state) {
  const tarnwick::DiskTreeArena tree = quillane::bench::homeLikeTree(1'000'000);
  const tarnwick::NameSearch search(state.range(0) == 0 ? "ULE.p" : "*.TAR.?z");
  std::size_t found = 0;
  for (auto _ : state)
    found = search.findIn(tree, 10'000).matchCount;
  state.counters["matches"] = double(found);
  state.SetItemsProcessed(state.iterations() * 1'000'000);
}
BENCHMARK(BM_NameSearch)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// What the window does off the GUI thread after a clean, before it
// publishes the new tree: derive the tree without the cleaned folder, and
// take its shares out of the gauge's (published just after the tree). Budget: 60 ms for 1,000,000 nodes.
// The folder removed is the one whose subtree is nearest range(0) nodes (0:
// the root's largest folder).
void BM_PublishAfterRemoval(benchmark::State &state) {
  const tarnwick::DiskTreeArena tree = quillane::bench::homeLikeTree(1'000'000);
  tarnwick::NodeID folder = tree.children(tarnwick::DiskTreeArena::rootID).front().id;
  if (const std::int64_t target = state.range(0); target > 0) {
    std::int64_t best = -1;
    for (tarnwick::NodeID id = 1; id < tarnwick::NodeID(tree.nodeCount()); ++id) {
      const auto &r = tree.record(id);
      const std::int64_t size = std::int64_t(r.fileCount) + r.directoryCount;
      if (r.isDirectory && (best < 0 || std::abs(size - target) < std::abs(best - target))) {
        best = size;
        folder = id;
      }
    }
  }
  // The generated tree repeats names among siblings, so the folder is
  // named by identifier here rather than found again by path.
  const tarnwick::CategoryShares before = *tarnwick::CategoryShares::measure(tree);
  const tarnwick::NodeID removed[] = {folder};
  state.counters["nodesRemoved"] = double(tree.record(folder).fileCount + tree.record(folder).directoryCount + 1);
  for (auto _ : state) {
    if (state.range(1) == 0)
      benchmark::DoNotOptimize(tarnwick::withoutSubtrees(tree, removed));
    else
      benchmark::DoNotOptimize(before.withoutSubtrees(tree, removed));
  }
}
// range(1): 0 = the tree (published first), 1 = the gauge's shares (after).
BENCHMARK(BM_PublishAfterRemoval)->ArgsProduct({{10'000, 0}, {0, 1}})->Unit(benchmark::kMillisecond);

// A scratch folder of 10,000 entries on disk (100 folders of 99 files),
// made once and removed at exit.
struct ScratchFolder {
  std::string path;
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillane-rescan-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
      return;
    path = pattern;
    for (int f = 0; f < 100; ++f) {
      const std::string folder = path + "/d" + std::to_string(f);
      std::filesystem::create_directory(folder);
      for (int i = 0; i < 99; ++i)
        std::ofstream(folder + "/f" + std::to_string(i)) << "data";
    }
  }
  ~ScratchFolder() {
    if (!path.empty())
      std::filesystem::remove_all(path);
  }
};
const ScratchFolder &scratchFolder() {
  static const ScratchFolder folder;
  return folder;
}

// Scanning that folder alone: what a folder's rescan must stay near.
void BM_ScanTenThousandEntries(benchmark::State &state) {
  const tarnwick::FastBulkScanner scanner;
  for (auto _ : state)
    state.counters["nodes"] = double(scanner.scan(scratchFolder().path).nodeCount());
}
BENCHMARK(BM_ScanTenThousandEntries)->Unit(benchmark::kMillisecond)->UseRealTime();

// A folder's rescan as the window runs it off the GUI thread (Arg 1): scan
// the folder, find it again in the tree on show, splice, bring the shares
// up to date. Arg 0: the splice alone. The folder replaced is the
// million-node tree's one nearest 10,000 nodes.
void BM_RescanFolderInMillionNodes(benchmark::State &state) {
  const tarnwick::DiskTreeArena tree = quillane::bench::homeLikeTree(1'000'000);
  tarnwick::NodeID folder = 0;
  std::int64_t best = -1;
  for (tarnwick::NodeID id = 1; id < tarnwick::NodeID(tree.nodeCount()); ++id) {
    const auto &r = tree.record(id);
    const std::int64_t size = std::int64_t(r.fileCount) + r.directoryCount;
    if (r.isDirectory && (best < 0 || std::abs(size - 10'000) < std::abs(best - 10'000))) {
      best = size;
      folder = id;
    }
  }
  const std::string folderPath = tree.path(folder);
  const tarnwick::FastBulkScanner scanner;
  const tarnwick::DiskTreeArena once = scanner.scan(scratchFolder().path);
  const tarnwick::CategoryShares shares = *tarnwick::CategoryShares::measure(tree);
  for (auto _ : state) {
    const tarnwick::DiskTreeArena rescanned = state.range(0) ? scanner.scan(scratchFolder().path) : once;
    const std::optional<tarnwick::NodeID> id = tarnwick::findNodeByPath(tree, folderPath);
    const tarnwick::DiskTreeArena spliced = tarnwick::withSubtreeReplaced(tree, id.value_or(-1), rescanned);
    if (state.range(0))
      benchmark::DoNotOptimize(shares.withSubtreeReplaced(tree, id.value_or(-1), spliced,
                                                          tarnwick::findNodeByPath(spliced, folderPath).value_or(-1)));
    state.counters["replaced"] = double(best);
    state.counters["nodes"] = double(spliced.nodeCount());
  }
}
BENCHMARK(BM_RescanFolderInMillionNodes)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

// Text needs a GUI application; benchmarks run offscreen.
int main(int argc, char **argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
