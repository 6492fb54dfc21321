// quillane-bench-window [--only 1|2|3|4|5] [TREE]
//
// Times the window the way a user meets it, offscreen, with the real
// widgets over trees scanned from disk:
//   1. a repaint of the explorer, 1600 x 1000, as the pointer moves from tile
//      to tile over 120 folders shown with their contents
//   2. entering a folder of 100,000 files: until its tiles, laid out and
//      painted off the GUI thread, are painted in the window
//   3. the longest gap between ticks of a 5 ms GUI timer while the main
//      window scans TREE (default /tmp/quillane-bench-tree, 1,000,000
//      entries from quillane-treegen) and until the explorer is painted
//   4. the resident memory that window adds beyond the arena it shows
//   5. in that window, a clean's update: from the request to forget a
//      folder of about 10,000 nodes (as after moving it to the Trash) until
//      the tree without it is painted (< 60 ms)
//   6. the longest gap of the GUI timer during that update, until the
//      gauge has followed (< 50 ms)
// One line per target with the value, the limit and PASS or FAIL; the exit
// status is 1 when any target fails, 2 when a target could not be measured.
#include "WindowBenchmarkSupport.h"

#include "TarnwickApp/Windows/MainWindow.h"
#include "TarnwickApp/TarnwickApp.h"
#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Access/FullDiskAccessCoordinator.h"
#include "TarnwickUI/SizeloomDashboardView.h"
#include "TarnwickUI/TarnwickAppCoordinator.h"
#include "TarnwickUI/TreemapCanvasView.h"
#include "TarnwickUI/WidgetStyle.h"

#include <QApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace quillane::bench;
using Clock = std::chrono::steady_clock;
using tarnwick::NodeID;

constexpr int frameWidth = 1600, frameHeight = 1000;
constexpr const char *defaultTree = "/tmp/quillane-bench-tree";

double millisecondsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

/// Wall and CPU milliseconds of `repeats` calls of `work`: the CPU time of
/// this thread tells a slow repaint from one slowed by a busy machine.
template <typename Work> std::pair<Summary, Summary> timeRepeats(int repeats, Work work) {
  const ThreadSchedulerClock scheduler;
  std::vector<double> wall, cpu;
  for (int i = 0; i < repeats; ++i) {
    const double cpuStart = scheduler.read().runningMs;
    const Clock::time_point start = Clock::now();
    work();
    wall.push_back(millisecondsBetween(start, Clock::now()));
    cpu.push_back(scheduler.read().runningMs - cpuStart);
  }
  return {summarize(wall), summarize(cpu)};
}

double mebibytes(std::int64_t bytes) { return static_cast<double>(bytes) / (1 << 20); }

struct Result {
  std::string title;
  double value = 0;
  std::string statistic; // "median", "max" or empty
  double limit = 0;
  std::string unit;
  std::vector<std::string> details;
  bool passed() const { return value < limit; }
};

template <typename... Args> std::string format(const char *pattern, Args... args) {
  char line[256];
  std::snprintf(line, sizeof line, pattern, args...);
  return line;
}

/// Runs the event loop for `milliseconds`, so posted layouts, paints and
/// animation steps happen as they would between user actions.
void settle(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

QImage frameImage() {
  QImage image(frameWidth, frameHeight, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(1);
  return image;
}

std::shared_ptr<const tarnwick::DiskTreeArena> scanned(const fs::path &root) {
  return std::make_shared<const tarnwick::DiskTreeArena>(tarnwick::FastBulkScanner().scan(root.string()));
}

NodeID childNamed(const tarnwick::DiskTreeArena &arena, NodeID parent, std::string_view name) {
  const auto &record = arena.record(parent);
  for (std::uint32_t i = 0; i < record.childCount; ++i)
    if (arena.name(record.firstChildID + NodeID(i)) == name)
      return record.firstChildID + NodeID(i);
  throw std::runtime_error("the scanned tree has no " + std::string(name));
}

std::size_t tileCount(const tarnwick::TreemapCanvasView &canvas) {
  return canvas.scene().isEmpty() ? canvas.rects().size() : canvas.scene().tiles().size();
}

Result explorerRepaint(const fs::path &root) {
  makeSimilarFolders(root, 120);
  tarnwick::SizeloomDashboardView dashboard(scanned(root));
  dashboard.resize(frameWidth, frameHeight);
  dashboard.show();
  settle(300);
  tarnwick::TreemapCanvasView &canvas = *dashboard.canvas();
  QImage image = frameImage();
  dashboard.render(&image); // glyph and gradient caches, as after any first paint
  const auto [wall, cpu] = timeRepeats(30, [&] { dashboard.render(&image); });
  // The pointer moves to another tile each time: the tooltip changes and the
  // hover mark moves, over the resting tiles kept as an image.
  int step = 0;
  const auto [hoverWall, hoverCpu] = timeRepeats(30, [&] {
    const QPointF at((step * 277) % canvas.width(), (step * 163) % canvas.height());
    ++step;
    QMouseEvent move(QEvent::MouseMove, at, canvas.mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&canvas, &move);
    dashboard.render(&image);
  });
  // The treemap alone, to tell its share from the sidebar's and the bars'.
  const auto [canvasWall, canvasCpu] = timeRepeats(30, [&] { canvas.render(&image); });
  // A repaint after a new layout (a resize, another folder) draws every tile.
  const tarnwick::NestedTreemapScene scene = canvas.scene();
  const std::vector<tarnwick::TreemapRect> laidOut = canvas.rects();
  const auto [freshWall, freshCpu] = timeRepeats(30, [&] {
    if (scene.isEmpty())
      canvas.setRects(laidOut);
    else
      canvas.setScene(scene);
    dashboard.render(&image);
  });
  return {"explorer repaint with hover, 1600x1000", hoverWall.median, "median", 8, "ms",
          {format("worst %.2f ms over 30 hovered repaints (CPU median %.2f ms); at rest median %.2f ms (CPU %.2f ms)",
                  hoverWall.worst, hoverCpu.median, wall.median, cpu.median),
           format("treemap canvas alone: median %.2f ms (CPU %.2f ms)", canvasWall.median, canvasCpu.median),
           format("after a new layout (every tile drawn again): median %.2f ms, worst %.2f ms (CPU %.2f ms)",
                  freshWall.median, freshWall.worst, freshCpu.median),
           format("%s view, %zu tiles on a %dx%d canvas", dashboard.isNestedContents() ? "nested" : "one-level",
                  tileCount(canvas), canvas.width(), canvas.height())}};
}

Result wideDrillDown(const fs::path &root) {
  constexpr int fileCount = 100'000;
  const Clock::time_point making = Clock::now();
  makeWideFolder(root / "wide", fileCount);
  makeSimilarFolders(root / "projects", 8);
  const double makeSeconds = millisecondsBetween(making, Clock::now()) / 1000;
  const auto arena = scanned(root);
  const NodeID wide = childNamed(*arena, arena->rootID, "wide");
  tarnwick::SizeloomDashboardView dashboard(arena);
  dashboard.resize(frameWidth, frameHeight);
  dashboard.show();
  settle(300);
  QImage image = frameImage();
  std::vector<double> totals, navigations, waits, repaints;
  for (int run = 0; run <= 10; ++run) {
    dashboard.navigateTo(arena->rootID);
    settle(450); // past the folder-change zoom
    const Clock::time_point start = Clock::now();
    dashboard.navigateTo(wide);
    // What the event loop does before it paints: the layouts that the new
    // breadcrumb and action bar contents asked for.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    const Clock::time_point navigated = Clock::now();
    // A large folder's tiles come from another thread, the GUI thread free.
    while (dashboard.canvas()->areTilesPending())
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const Clock::time_point laidOut = Clock::now();
    dashboard.render(&image);
    const Clock::time_point painted = Clock::now();
    settle(450);
    if (run == 0)
      continue; // the first entry also fills caches
    totals.push_back(millisecondsBetween(start, painted));
    navigations.push_back(millisecondsBetween(start, navigated));
    waits.push_back(millisecondsBetween(navigated, laidOut));
    repaints.push_back(millisecondsBetween(laidOut, painted));
  }
  const Summary total = summarize(totals);
  return {"enter a folder of 100,000 files", total.median, "median", 50, "ms",
          {format("worst %.2f ms over %zu entries", total.worst, totals.size()),
           format("navigateTo + layouts %.2f ms, tiles from the layout thread %.2f ms later, repaint %.2f ms "
                  "(medians)",
                  summarize(navigations).median, summarize(waits).median, summarize(repaints).median),
           format("%zu tiles; tree of %zu nodes made in %.1f s", tileCount(*dashboard.canvas()),
                  arena->nodeCount(), makeSeconds)}};
}

/// Notes when the watched canvas first paints tiles that are not pending
/// (those laid out for what it shows now).
class PaintWatcher : public QObject {
public:
  bool painted = false;
  Clock::time_point paintedAt;

protected:
  bool eventFilter(QObject *watched, QEvent *event) override {
    if (event->type() == QEvent::Paint && !painted &&
        !static_cast<tarnwick::TreemapCanvasView *>(watched)->areTilesPending()) {
      painted = true;
      paintedAt = Clock::now();
    }
    return QObject::eventFilter(watched, event);
  }
};

// Loads the fonts the window draws with, so the memory baseline holds
// what any Qt window would pay for text, not what this one adds.
void loadFonts() {
  using namespace tarnwick::WidgetStyle;
  QImage image(200, 60, QImage::Format_ARGB32_Premultiplied);
  for (auto design : {Design::standard, Design::monospaced})
    for (auto weight : {QFont::Normal, QFont::Medium, QFont::DemiBold, QFont::Bold}) {
      QLabel label(QStringLiteral("Analyzing 1,234 MB"));
      label.setFont(textFont(13, weight, design));
      label.resize(200, 60);
      label.render(&image);
    }
}

// The folder of `arena` whose subtree is nearest 10,000 nodes.
tarnwick::NodeID folderNearTenThousand(const tarnwick::DiskTreeArena &arena) {
  tarnwick::NodeID best = -1;
  std::int64_t bestDistance = 0;
  for (tarnwick::NodeID id = 1; id < tarnwick::NodeID(arena.nodeCount()); ++id) {
    const auto &r = arena.record(id);
    const std::int64_t distance = std::llabs(std::int64_t(r.fileCount) + r.directoryCount - 10'000);
    if (r.isDirectory && (best < 0 || distance < bestDistance)) {
      best = id;
      bestDistance = distance;
    }
  }
  return best;
}

// Target 5, in the window of target 3: the update a clean makes, without
// touching the disk (forgetPaths is what the coordinator runs after one).
std::vector<Result> publishAfterRemoval(quillane::MainWindow &window, tarnwick::TarnwickAppCoordinator &coordinator) {
  const auto before = coordinator.arena();
  const tarnwick::NodeID folder = folderNearTenThousand(*before);
  if (folder < 0)
    throw std::runtime_error("the scanned tree has no folder to remove");
  const std::string path = before->path(folder);
  const std::int64_t nodes = std::int64_t(before->record(folder).fileCount) + before->record(folder).directoryCount + 1;
  settle(200);

  QEventLoop loop;
  QTimer ticker;
  ticker.setTimerType(Qt::PreciseTimer);
  ticker.setInterval(5);
  std::vector<Clock::time_point> ticks{Clock::now()};
  PaintWatcher canvas;
  Clock::time_point published{}, followed{};
  int ticksAfter = 0;
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    ticks.push_back(Clock::now());
    if (canvas.painted && followed != Clock::time_point{} && ++ticksAfter == 2)
      loop.quit();
  });
  QObject::connect(&coordinator, &tarnwick::TarnwickAppCoordinator::arenaChanged, &loop, [&] {
    published = Clock::now();
    if (auto *dashboard = window.rootView()->dashboard())
      dashboard->canvas()->installEventFilter(&canvas);
  });
  QObject::connect(&coordinator, &tarnwick::TarnwickAppCoordinator::categorySharesChanged, &loop,
                   [&] { followed = Clock::now(); });
  QTimer::singleShot(std::chrono::seconds(30), &loop, &QEventLoop::quit);
  const Clock::time_point start = ticks.front();
  ticker.start();
  coordinator.forgetPaths({path});
  loop.exec();
  ticker.stop();
  if (!canvas.painted || followed == Clock::time_point{})
    throw std::runtime_error("the tree without " + path + " was not shown");
  double stall = 0;
  for (std::size_t i = 1; i < ticks.size(); ++i)
    stall = std::max(stall, millisecondsBetween(ticks[i - 1], ticks[i]));
  const double shown = millisecondsBetween(start, canvas.paintedAt);
  return {{"tree shown after a clean", shown, "", 60, "ms",
           {format("forgot %lld nodes of %zu: %s", static_cast<long long>(nodes), before->nodeCount(), path.c_str()),
            format("published after %.1f ms, painted after %.1f ms", millisecondsBetween(start, published), shown)}},
          {"GUI stall during that update", stall, "max", 50, "ms",
           {format("%zu ticks; the gauge followed after %.1f ms", ticks.size(), millisecondsBetween(start, followed))}}};
}

std::vector<Result> scanInWindow(const std::string &tree) {
  loadFonts();
  ::malloc_trim(0);
  const std::int64_t withFonts = residentBytes();
  // The scan engine's threads leave freed working memory in malloc arenas of
  // their own: glibc keeps it (malloc_trim does not return the top of a
  // thread's arena) and the next scan's threads reuse it. That residue is
  // neither the window's nor the arena's, so one untimed scan of the same
  // tree puts it into the baseline; it also warms the caches as compare.sh
  // does.
  tarnwick::FastBulkScanner(8).scan(tree);
  ::malloc_trim(0);
  const std::int64_t baseline = residentBytes();
  const ResidentBreakdown kindsBefore = residentBreakdown();
  // Built as the application builds them.
  const tarnwick::UserEnvironment user = tarnwick::UserEnvironment::fromProcess();
  const tarnwick::FullDiskAccessCoordinator access(user);
  const auto engine = tarnwick::SafeCleaningEngine::forUser(user);
  tarnwick::TarnwickAppCoordinator coordinator(std::make_shared<const tarnwick::FastBulkScanner>(), engine);
  quillane::MainWindow window(coordinator, [&access] { return access.check(); },
                              QString::fromStdString(user.homeDirectory), engine);
  window.resize(frameWidth, frameHeight);
  window.show();
  settle(300);

  QEventLoop loop;
  QTimer ticker;
  ticker.setTimerType(Qt::PreciseTimer);
  ticker.setInterval(5);
  const ThreadSchedulerClock scheduler;
  struct Tick {
    Clock::time_point time;
    ThreadSchedulerClock::Reading scheduler;
  };
  std::vector<Tick> ticks;
  ticks.reserve(1 << 20);
  PaintWatcher explorer;
  int ticksAfterPaint = 0, progressReports = 0;
  Clock::time_point scanEnd{};
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    ticks.push_back({Clock::now(), scheduler.read()});
    // Two ticks after the paint, so the gap that holds it is complete.
    if (explorer.painted && ++ticksAfterPaint == 2)
      loop.quit();
  });
  using Coordinator = tarnwick::TarnwickAppCoordinator;
  QObject::connect(&coordinator, &Coordinator::scanProgressChanged, [&] { ++progressReports; });
  // Connected after the window's own handler, so the explorer exists here.
  QObject::connect(&coordinator, &Coordinator::isScanningChanged, [&] {
    if (coordinator.isScanning())
      return;
    scanEnd = Clock::now();
    if (auto *dashboard = window.rootView()->dashboard())
      dashboard->canvas()->installEventFilter(&explorer);
    else
      loop.quit(); // no result to show: reported below
  });
  bool timedOut = false;
  QTimer::singleShot(std::chrono::minutes(10), &loop, [&] {
    timedOut = true;
    loop.quit();
  });

  const Clock::time_point start = Clock::now();
  ticks.push_back({start, scheduler.read()});
  ticker.start();
  coordinator.startScan(QString::fromStdString(tree));
  loop.exec();
  ticker.stop();
  if (timedOut || !coordinator.arena() || !explorer.painted)
    throw std::runtime_error(coordinator.scanError() ? coordinator.scanError()->toStdString()
                                                     : "the scan ended without the explorer being shown");

  double stall = 0;
  std::size_t stallEnd = 0;
  for (std::size_t i = 1; i < ticks.size(); ++i)
    if (double gap = millisecondsBetween(ticks[i - 1].time, ticks[i].time); gap > stall) {
      stall = gap;
      stallEnd = i;
    }
  const Tick &gapStart = ticks[stallEnd - 1], &gapEnd = ticks[stallEnd];
  const double stallAt = millisecondsBetween(start, gapStart.time);
  const double running = gapEnd.scheduler.runningMs - gapStart.scheduler.runningMs;
  const double waiting = gapEnd.scheduler.waitingMs - gapStart.scheduler.waitingMs;
  const double scanMs = millisecondsBetween(start, scanEnd);
  const double explorerMs = millisecondsBetween(scanEnd, explorer.paintedAt);
  Result responsiveness{"GUI stall while scanning", stall, "max", 50, "ms",
                        {format("%zu ticks; longest gap starts %.0f ms in (%s)", ticks.size(), stallAt,
                                stallAt < scanMs ? "during the scan" : "after it"),
                         format("in it the GUI thread ran %.1f ms, waited %.1f ms for a CPU, slept or blocked %.1f ms",
                                running, waiting, stall - running - waiting),
                         format("scan %.2f s, %zu nodes, %d progress reports; explorer first painted %.0f ms later",
                                scanMs / 1000, coordinator.arena()->nodeCount(), progressReports, explorerMs)}};

  settle(200);
  const std::int64_t untrimmed = residentBytes();
  // Trimmed like the baseline: returns freed pages only, never a live byte.
  ::malloc_trim(0);
  const std::int64_t after = residentBytes();
  const ResidentBreakdown kindsAfter = residentBreakdown();
  const auto arenaBytes = static_cast<std::int64_t>(coordinator.arena()->memoryBytes());
  Result memory{"window memory beyond the arena", mebibytes(after - baseline - arenaBytes), "", 60, "MiB",
                {format("RSS %.1f MiB - baseline %.1f MiB - arena %.1f MiB; %.1f MiB before trimming",
                        mebibytes(after), mebibytes(baseline), mebibytes(arenaBytes), mebibytes(untrimmed)),
                 format("baseline: %.1f MiB with the application and its fonts, %+.1f MiB left by a first scan",
                        mebibytes(withFonts), mebibytes(baseline - withFonts)),
                 format("growth: GUI thread's heap %+.1f MiB, other anonymous %+.1f MiB (arena and scan threads' "
                        "malloc arenas among them), files %+.1f MiB",
                        mebibytes(kindsAfter.mainHeap - kindsBefore.mainHeap),
                        mebibytes(kindsAfter.otherAnonymous - kindsBefore.otherAnonymous),
                        mebibytes(kindsAfter.files - kindsBefore.files))}};
  std::vector<Result> results{responsiveness, memory};
  for (Result &update : publishAfterRemoval(window, coordinator))
    results.push_back(std::move(update));
  return results;
}

/// The tree to scan: `given`, or the default generated on demand.
std::string treeToScan(const std::string &given) {
  if (!given.empty()) {
    if (!fs::is_directory(given))
      throw std::runtime_error(given + " is not a directory");
    return given;
  }
  if (fs::exists(fs::path(defaultTree) / ".quillane-treegen-done"))
    return defaultTree;
  const QString treegen = QCoreApplication::applicationDirPath() + QStringLiteral("/quillane-treegen");
  if (!QFileInfo(treegen).isExecutable())
    throw std::runtime_error(std::string(defaultTree) + " is missing and " + treegen.toStdString() +
                             " is not built to make it; build quillane-treegen or pass a TREE");
  std::fprintf(stderr, "making %s with quillane-treegen (1,000,000 entries)\n", defaultTree);
  if (QProcess::execute(treegen, {QString::fromLatin1(defaultTree), QStringLiteral("--entries"),
                                  QStringLiteral("1000000")}) != 0)
    throw std::runtime_error("quillane-treegen failed to make " + std::string(defaultTree));
  return defaultTree;
}

} // namespace

int main(int argc, char **argv) {
  // --only N runs one target (3 to 6 share a scan), e.g. under perf.
  int only = 0;
  std::string tree;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--only" && i + 1 < argc)
      only = std::atoi(argv[++i]);
    else if (!arg.empty() && arg[0] != '-' && tree.empty())
      tree = arg;
    else
      only = -1;
  }
  if (only < 0 || only > 5) {
    std::fprintf(stderr, "usage: quillane-bench-window [--only 1|2|3|4|5] [TREE]   (default TREE: %s)\n", defaultTree);
    return 2;
  }
  const auto wanted = [only](int target) { return only == 0 || only == target || (only >= 3 && target >= 3); };
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  quillane::TarnwickApp::configureAllocator(); // as the application does at start
  QApplication application(argc, argv);
  tarnwick::WidgetStyle::applyDarkTheme(application);

  std::vector<std::pair<int, Result>> results;
  try {
    // The scan runs first, in a heap nothing else has used yet, so its
    // memory baseline is not swollen by the other targets' trees.
    if (wanted(3)) {
      std::vector<Result> scan = scanInWindow(treeToScan(tree));
      results.emplace_back(3, scan[0]);
      results.emplace_back(4, scan[1]);
      results.emplace_back(5, scan[2]);
      results.emplace_back(6, scan[3]);
    }
    if (wanted(1) || wanted(2)) {
      ScratchFolder scratch;
      std::fprintf(stderr, "making the scratch trees in %s\n", scratch.path().c_str());
      if (wanted(1))
        results.emplace_back(1, explorerRepaint(scratch.path() / "labelled"));
      if (wanted(2))
        results.emplace_back(2, wideDrillDown(scratch.path() / "wide-root"));
    }
    std::stable_sort(results.begin(), results.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
  } catch (const std::exception &failure) {
    std::fprintf(stderr, "quillane-bench-window: %s\n", failure.what());
    return 2;
  }

  std::ifstream loadAverage("/proc/loadavg");
  std::string load1, load5;
  loadAverage >> load1 >> load5;
  std::printf("(load average %s over 1 min, %s over 5; on %d CPUs)\n", load1.c_str(), load5.c_str(),
              QThread::idealThreadCount());
  bool allPassed = true;
  for (const auto &[number, r] : results) {
    allPassed = allPassed && r.passed();
    std::printf("%d. %-32s %6s %8.2f %-3s  limit < %g %s  %s\n", number, r.title.c_str(), r.statistic.c_str(), r.value,
                r.unit.c_str(), r.limit, r.unit.c_str(), r.passed() ? "PASS" : "FAIL");
    for (const std::string &detail : r.details)
      std::printf("     %s\n", detail.c_str());
  }
  return allPassed ? 0 : 1;
}
