#include "TarnwickApp/Commands/TreemapCommand.h"

#include "TarnwickApp/Commands/AtomicOutputFile.h"
#include "TarnwickApp/Commands/OutputPlacement.h"
#include "TarnwickApp/Commands/CommandFailure.h"
#include "TarnwickApp/Commands/InterruptWatcher.h"
#include "TarnwickApp/Commands/OutputClash.h"
#include "TarnwickApp/Commands/ScanCommand.h"
#include "TarnwickApp/Commands/ScanRunner.h"
#include "TarnwickApp/Commands/TextFormat.h"
#include "TarnwickApp/Commands/TreemapExport.h"
#include "TarnwickCore/Support/UserEnvironment.h"
#include "TarnwickUI/SquarifiedTreemapLayout.h"

#include <QGuiApplication>

#include <algorithm>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <stop_token>
#include <unistd.h>
#include <vector>

namespace quillane {
namespace {

using Layout = tarnwick::SquarifiedTreemapLayout;
using tarnwick::Failure;
using tarnwick::Result;

// "1600x1000" → 1600 × 1000; both sides whole numbers from 1 to 16384.
std::optional<tarnwick::CanvasSize> parseSize(std::string_view text) {
  auto x = text.find('x');
  if (x == std::string_view::npos)
    return std::nullopt;
  int width = 0, height = 0;
  auto parse = [](std::string_view part, int &value) {
    auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
    return error == std::errc() && end == part.data() + part.size() && value >= 1 && value <= 16384;
  };
  if (!parse(text.substr(0, x), width) || !parse(text.substr(x + 1), height))
    return std::nullopt;
  return tarnwick::CanvasSize{static_cast<double>(width), static_cast<double>(height)};
}

// One requested output: where it goes and how it is produced.
struct Output {
  AtomicOutputFile file;
  enum class Kind { json, svg, png } kind;
};

// Writes every output and puts them in place only once all were written,
// so a failed one leaves each destination as it was. Those written in
// place (standard output, a pipe, a device) go last: once one has taken
// text it cannot be taken back, so the files must be complete by then.
// Exit status: 0, 1 when one could not be written, 130 when stopped (every
// temporary goes with its file).
int writeOutputs(std::vector<Output> &outputs, std::span<const tarnwick::TreemapRect> tiles,
                 tarnwick::CanvasSize size, const std::string &title, std::stop_token stop) {
  std::vector<Output *> order;
  for (Output &output : outputs)
    order.push_back(&output);
  std::stable_partition(order.begin(), order.end(),
                        [](const Output *output) { return !output->file.temporaryPath().empty(); });
  auto sayWhy = [](const Result<void> &result) {
    std::fprintf(stderr, "quillane: %s\n", printableText(result.failure().message()).c_str());
    return 1;
  };
  for (Output *next : order) {
    Output &output = *next;
    std::FILE *stream = output.file.stream();
    bool written = false;
    switch (output.kind) {
    case Output::Kind::json: {
      std::string json = treemapJson(tiles);
      written = std::fwrite(json.data(), 1, json.size(), stream) == json.size();
      break;
    }
    case Output::Kind::svg: written = writeTreemapSvg(tiles, size, stream, title); break;
    case Output::Kind::png: written = writeTreemapPng(tiles, size, stream); break;
    }
    if (stop.stop_requested())
      return 130;
    // A failed write leaves its temporary to the file's destructor.
    Result<void> completed =
        written ? output.file.complete() : Result<void>(Failure::fromErrno("write", output.file.destination()));
    if (!completed)
      return sayWhy(completed);
  }
  for (Output &output : outputs)
    if (Result<void> committed = output.file.commit(); !committed)
      return sayWhy(committed);
  return 0;
}

int drawTreemap(const TreemapOptions &options, const tarnwick::FastBulkScanner &scanner, const std::string &path,
                const std::string &home) {
  // Drawing text needs a GUI application; an export never needs a display,
  // and Qt's notes about the missing session are noise on a terminal.
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
      std::fprintf(stderr, "quillane: %s\n", message.toLocal8Bit().constData());
  });
  int argc = 1;
  char name[] = "quillane";
  char *argv[] = {name, nullptr};
  QGuiApplication application(argc, argv);

  std::signal(SIGPIPE, SIG_IGN);
  std::stop_source stop;
  InterruptWatcher interrupts(stop);
  std::vector<Output> outputs;
  std::vector<std::string> temporaries;
  auto open = [&](const std::optional<std::string> &destination, Output::Kind kind) {
    if (!destination)
      return true;
    Result<AtomicOutputFile> file = AtomicOutputFile::open(
        *destination, [&home](const std::string &place) { return protectedPlaceRefusal(place, home); });
    if (!file) {
      std::fprintf(stderr, "quillane: %s\n", printableText(file.failure().message()).c_str());
      return false;
    }
    // Opening the next output may block (a FIFO waits for its reader), so a
    // forced exit meanwhile must already know this temporary.
    if (!file->temporaryPath().empty()) {
      temporaries.push_back(file->temporaryPath());
      interrupts.setCleanup([temporaries] {
        for (const std::string &temporary : temporaries)
          ::unlink(temporary.c_str());
      });
    }
    outputs.push_back({std::move(*file), kind});
    return true;
  };
  if (!open(options.jsonDestination, Output::Kind::json) || !open(options.svgDestination, Output::Kind::svg) ||
      !open(options.pngDestination, Output::Kind::png))
    return 1;

  ScanOutcome scanned = runScan(path, scanner, true, stop.get_token());
  if (!scanned.arena)
    return scanned.failureStatus;
  const tarnwick::DiskTreeArena &arena = *scanned.arena;
  const std::vector<tarnwick::DiskNode> children = arena.children(arena.rootID);
  const std::vector<tarnwick::TreemapRect> tiles =
      Layout::compute(children, options.size, Layout::defaultMinPixelArea, Layout::defaultMaxVisibleRects,
                      arena.rootNode()->allocatedSize);
  return writeOutputs(outputs, tiles, options.size, arena.rootPath(), stop.get_token());
}

} // namespace

Result<TreemapOptions> treemapOptionsFrom(const CommandArguments &arguments) {
  TreemapOptions options;
  if (const std::optional<std::string> text = arguments.value("size")) {
    const std::optional<tarnwick::CanvasSize> size = parseSize(*text);
    if (!size)
      return Failure::because("--size needs WIDTHxHEIGHT in whole points from 1 to 16384, such as 1200x800");
    options.size = *size;
  }
  for (auto [name, destination] : {std::pair{"json", &options.jsonDestination},
                                   std::pair{"svg", &options.svgDestination},
                                   std::pair{"png", &options.pngDestination}}) {
    *destination = arguments.value(name);
    // Only JSON may go to standard output; images never to a terminal.
    const bool isJson = destination == &options.jsonDestination;
    if (*destination && ((*destination)->empty() || (**destination == "-" && !isJson)))
      return Failure::because("--" + std::string(name) + " needs a file name" +
                              (isJson ? ", or - for standard output" : ""));
  }
  Result<tarnwick::ScanScope> scope = scanScopeFrom(arguments);
  if (!scope)
    return scope.failure();
  options.scope = std::move(*scope);
  if (arguments.positional().size() > 1)
    return Failure::because("only one PATH can be laid out at a time");
  if (!arguments.positional().empty())
    options.path = arguments.positional().front();
  if (!options.jsonDestination && !options.svgDestination && !options.pngDestination)
    return Failure::because("nothing to write: give --json, --svg or --png");
  if (std::optional<std::string> clash = outputClash({{"json", &options.jsonDestination},
                                                      {"svg", &options.svgDestination},
                                                      {"png", &options.pngDestination}}))
    return Failure::because(*clash);
  return options;
}

int runTreemapCommand(const TreemapOptions &options, const tarnwick::FastBulkScanner &scanner,
                      const tarnwick::UserEnvironment &user) {
  const std::string path = tarnwick::absoluteUserPath(options.path.empty() ? user.homeDirectory : options.path);
  try {
    return drawTreemap(options, scanner, path, user.homeDirectory);
  } catch (...) {
    // Every temporary output is removed by the unwinding.
    return reportCommandFailure("drawing the treemap of", path);
  }
}

} // namespace quillane
