// Google Benchmark of the treemap layout: compute() over wide folders and
// hitTest() over a full budget of tiles.
#include "TarnwickUI/SquarifiedTreemapLayout.h"
#include "TarnwickUI/TreemapTilePainter.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

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
