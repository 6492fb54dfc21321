// Google Benchmark of the tree list beside the treemap, offscreen with the
// real view and model, over trees built in memory:
//   ExpandWideFolder/0  expanding a folder of 100,000 files, its rows
//                       ordered by size, until the view has painted them
//                       (budget 100 ms)
//   ExpandWideFolder/1  re-sorting that expanded folder by size after it
//                       was sorted by name, until painted (same budget)
//   OpenMillionNodeRoot the list shown over the root of a 1,000,000-node
//                       tree, until painted (budget 50 ms)
#include "SyntheticTrees.h"

#include "TarnwickUI/TreeListModel.h"
#include "TarnwickUI/TreeListView.h"
#include "TarnwickUI/WidgetStyle.h"

#include <QApplication>
#include <QHeaderView>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

namespace {

using tarnwick::DiskTreeArena;
using tarnwick::TreeListModel;
using tarnwick::TreeListView;

/// A list of the window's size, on screen (offscreen platform).
struct ShownList {
  TreeListView view;
  ShownList() {
    view.resize(900, 800);
    view.show();
    QApplication::processEvents();
  }
  /// Lays out what changed and paints the visible rows now.
  void paint() { view.viewport()->repaint(); }
};

void BM_ExpandWideFolder(benchmark::State &state) {
  const auto tree = std::make_shared<const DiskTreeArena>(quillane::bench::wideFolderTree(100'000));
  ShownList list;
  TreeListModel &model = *list.view.listModel();
  const bool resort = state.range(0) == 1;
  for (auto _ : state) {
    state.PauseTiming();
    list.view.sortByColumn(TreeListModel::sizeColumn, Qt::DescendingOrder);
    model.setTree(tree, DiskTreeArena::rootID); // forgets the fetched rows
    list.paint();
    if (resort) {
      list.view.expand(model.index(0, 0));
      list.view.sortByColumn(TreeListModel::nameColumn, Qt::AscendingOrder);
      list.paint();
    }
    state.ResumeTiming();
    if (resort)
      list.view.sortByColumn(TreeListModel::sizeColumn, Qt::DescendingOrder);
    else
      list.view.expand(model.index(0, 0));
    list.paint();
  }
  state.counters["rows"] = double(model.rowCount(model.index(0, 0)));
}
BENCHMARK(BM_ExpandWideFolder)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_OpenMillionNodeRoot(benchmark::State &state) {
  const auto tree = std::make_shared<const DiskTreeArena>(quillane::bench::homeLikeTree(1'000'000));
  ShownList list;
  for (auto _ : state) {
    state.PauseTiming();
    list.view.showFolder(nullptr, DiskTreeArena::rootID, std::nullopt);
    list.paint();
    state.ResumeTiming();
    list.view.showFolder(tree, DiskTreeArena::rootID, std::nullopt);
    list.paint();
  }
  state.counters["nodes"] = double(tree->nodeCount());
  state.counters["rows"] = double(list.view.listModel()->rowCount());
}
BENCHMARK(BM_OpenMillionNodeRoot)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  tarnwick::WidgetStyle::applyDarkTheme(application);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
