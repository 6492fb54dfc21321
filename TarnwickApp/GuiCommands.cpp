#include "TarnwickApp/GuiCommands.h"

#include "TarnwickApp/CommandLine.h"
#include "TarnwickApp/Commands/CommandFailure.h"
#include "TarnwickApp/Commands/TreemapCommand.h"
#include "TarnwickApp/TarnwickApp.h"
#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Support/UserEnvironment.h"

#include <QDir>
#include <QFile>

#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quillane {
namespace {

using tarnwick::UserEnvironment;

// Qt sees only the program name: every other argument is ours.
int runWindow(char *program, const UserEnvironment &user, const std::optional<QString> &initialScan,
              const std::optional<QString> &openFile = std::nullopt) {
  int qtArgc = 1;
  char *qtArgv[] = {program, nullptr};
  TarnwickApp application(qtArgc, qtArgv, user);
  return application.exec(initialScan, openFile);
}

// An absolute, clean path for the window, relative to the working folder.
QString windowPath(const std::string &path) {
  return QDir::cleanPath(QDir::current().absoluteFilePath(QFile::decodeName(QByteArray::fromStdString(path))));
}

int runWindowCommand(char *program, const CommandArguments &arguments) {
  if (arguments.positional().size() > 1)
    return reportUsageError("window takes at most one PATH", "window");
  std::optional<QString> path;
  if (!arguments.positional().empty())
    path = windowPath(arguments.positional().front());
  if (arguments.values("open").size() > 1)
    return reportUsageError("window --open takes one FILE", "window");
  std::optional<QString> openFile;
  if (const std::optional<std::string> file = arguments.value("open"))
    openFile = windowPath(*file);
  if (path && openFile)
    return reportUsageError("window takes a PATH to scan or --open FILE, not both", "window");
  // An explicit Qt platform (offscreen, say) is taken as the user's choice.
  if (!hasDisplay() && !std::getenv("QT_QPA_PLATFORM"))
    return reportUsageError("no display to open the window on (DISPLAY and WAYLAND_DISPLAY are unset)", "window");
  return runWindow(program, UserEnvironment::fromProcess(), path, openFile);
}

int runTreemap(const CommandArguments &arguments) {
  const tarnwick::Result<TreemapOptions> options = treemapOptionsFrom(arguments);
  if (!options)
    return reportUsageError(options.failure().message(), "treemap");
  tarnwick::FastBulkScanner scanner;
  scanner.setConcurrencyCeiling(tarnwick::FastBulkScanner::concurrencyCap);
  scanner.setScope(options->scope);
  return runTreemapCommand(*options, scanner, UserEnvironment::fromProcess());
}

} // namespace

int runGuiCommand(int argc, char **argv) {
  if (argc < 2)
    return runWindow(argv[0], UserEnvironment::fromProcess(), std::nullopt);
  const bool treemap = std::string_view(argv[1]) == "treemap";
  const CommandSyntax &syntax = treemap ? treemapCommandSyntax() : windowCommandSyntax();
  return runParsedCommand(syntax, std::span<char *const>(argv + 2, static_cast<std::size_t>(argc - 2)),
                          [&](const CommandArguments &arguments) {
                            return treemap ? runTreemap(arguments) : runWindowCommand(argv[0], arguments);
                          });
}

} // namespace quillane
