#include "TarnwickApp/Commands/TreemapCommand.h"

#include "TarnwickApp/Commands/ArgumentCursor.h"
#include "TarnwickApp/Commands/AtomicOutputFile.h"
#include "TarnwickApp/Commands/CommandFailure.h"
#include "TarnwickApp/Commands/InterruptWatcher.h"
#include "TarnwickApp/Commands/ScanCommand.h"
#include "TarnwickApp/Commands/ScanRunner.h"
#include "TarnwickApp/Commands/TextFormat.h"
#include "TarnwickApp/Commands/TreemapExport.h"
#include "TarnwickCore/Support/UserEnvironment.h"
#include "TarnwickUI/SquarifiedTreemapLayout.h"

#include <QGuiApplication>

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

// Writes and commits each output in turn. Exit status: 0, 1 when one could
// not be written, 130 when stopped (every temporary goes with its file).
int writeOutputs(std::vector<Output> &outputs, std::span<const tarnwick::TreemapRect> tiles,
                 tarnwick::CanvasSize size, const std::string &title, std::stop_token stop) {
  int status = 0;
  for (Output &output : outputs) {
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
    Result<void> committed =
        written ? output.file.commit() : Result<void>(Failure::fromErrno("write", output.file.destination()));
    if (!committed) {
      std::fprintf(stderr, "quillane: %s\n", printableText(committed.failure().message()).c_str());
      status = 1;
    }
  }
  return status;
}

int drawTreemap(const TreemapOptions &options, const tarnwick::FastBulkScanner &scanner, const std::string &path) {
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
    Result<AtomicOutputFile> file = AtomicOutputFile::open(*destination);
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
  if (const tarnwick::ScanReport &report = arena.scanReport(); !report.rootReadable) {
    // Nothing is written: every output's temporary goes with it.
    const std::string why =
        report.unreadablePaths.empty() ? "not readable" : report.unreadablePaths.front().explanation();
    std::fprintf(stderr, "quillane: cannot read %s: %s\n", printableText(arena.rootPath()).c_str(), why.c_str());
    return 1;
  }
  const std::vector<tarnwick::DiskNode> children = arena.children(arena.rootID);
  const std::vector<tarnwick::TreemapRect> tiles =
      Layout::compute(children, options.size, Layout::defaultMinPixelArea, Layout::defaultMaxVisibleRects,
                      arena.rootNode()->allocatedSize);
  return writeOutputs(outputs, tiles, options.size, arena.rootPath(), stop.get_token());
}

} // namespace

Result<TreemapOptions> parseTreemapOptions(std::span<char *const> arguments) {
  TreemapOptions options;
  ArgumentCursor cursor(arguments);
  while (cursor.next()) {
    std::string_view argument = cursor.current();
    std::optional<std::string> *destination = argument == "--json" ? &options.jsonDestination
                                               : argument == "--svg" ? &options.svgDestination
                                               : argument == "--png" ? &options.pngDestination
                                                                     : nullptr;
    if (destination || argument == "--size") {
      Result<std::string_view> text = cursor.value();
      if (!text)
        return text.failure();
      if (destination) {
        // Only JSON may go to standard output; images never to a terminal.
        if (text->empty() || (*text == "-" && argument != "--json"))
          return Failure::because(std::string(argument) + " needs a file name" +
                                  (argument == "--json" ? ", or - for standard output" : ""));
        *destination = std::string(*text);
      } else if (auto size = parseSize(*text)) {
        options.size = *size;
      } else {
        return Failure::because("--size needs WIDTHxHEIGHT in whole points from 1 to 16384, such as 1200x800");
      }
    } else if (std::optional<Result<void>> scope = takeScopeOption(cursor, options.scope)) {
      if (!*scope)
        return scope->failure();
    } else if (cursor.isOption()) {
      return Failure::because("unknown option " + std::string(argument));
    } else if (Result<void> taken = cursor.takePath(options.path, "laid out"); !taken) {
      return taken.failure();
    }
  }
  if (!options.jsonDestination && !options.svgDestination && !options.pngDestination)
    return Failure::because("nothing to write: give --json, --svg or --png");
  return options;
}

int runTreemapCommand(const TreemapOptions &options, const tarnwick::FastBulkScanner &scanner,
                      const tarnwick::UserEnvironment &user) {
  const std::string path = tarnwick::absoluteUserPath(options.path.empty() ? user.homeDirectory : options.path);
  try {
    return drawTreemap(options, scanner, path);
  } catch (...) {
    // Every temporary output is removed by the unwinding.
    return reportCommandFailure("drawing the treemap of", path);
  }
}

} // namespace quillane
