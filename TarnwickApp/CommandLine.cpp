#include "TarnwickApp/CommandLine.h"
#include "TarnwickApp/StandardDescriptors.h"

#include "TarnwickApp/Commands/CachesCommand.h"
#include "TarnwickApp/Commands/CleanupCommands.h"
#include "TarnwickApp/Commands/CommandFailure.h"
#include "TarnwickApp/Commands/DiffCommand.h"
#include "TarnwickApp/Commands/ScanCommand.h"
#include "TarnwickApp/Commands/SystemCachesCommand.h"
#include "TarnwickApp/Commands/TreemapCommandSyntax.h"
#include "TarnwickApp/Commands/UninterruptibleMoves.h"
#include "TarnwickCore/Access/FullDiskAccessCoordinator.h"
#include "TarnwickCore/Catalogue/SystemCacheCatalogue.h"
#include "TarnwickCore/Deletion/FreedesktopTrash.h"
#include "TarnwickCore/Deletion/SafeCleaningEngine.h"
#include "TarnwickCore/Deletion/TrashCatalogue.h"
#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Support/UserEnvironment.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace quillane {
namespace {

using tarnwick::UserEnvironment;

// `quillane --help`: what each command is for; the options are in each
// command's own help.
void printOverview() {
  QList<QPair<QString, QString>> commands;
  for (const CommandSyntax *syntax : commandSyntaxes())
    commands.append({syntax->name(), syntax->summary()});
  std::printf("Usage: quillane [COMMAND [OPTION]... [ARGUMENT]...]\n"
              "       quillane --help | --version\n\n"
              "Explore what fills your disk, and clean it up safely.\n\nCommands:\n%s\n"
              "Run 'quillane COMMAND --help' for a command's options.\n",
              alignedRows(commands).c_str());
}

// The cleaning commands' engine for `user`, on a file system whose moves
// to the Trash a forced exit waits for.
struct CommandCleaning {
  explicit CommandCleaning(const UserEnvironment &user)
      : moves(std::make_shared<UninterruptibleMoves>(
            std::make_shared<tarnwick::SystemCleaningFileSystem>(tarnwick::FreedesktopTrash(user)))),
        engine(user.homeDirectory, moves) {}

  const std::shared_ptr<UninterruptibleMoves> moves;
  tarnwick::SafeCleaningEngine engine;
};

// Everything a command uses is built here, once, from the user's
// environment, and handed down.
int runCommand(const CommandSyntax &syntax, const CommandArguments &arguments) {
  const UserEnvironment user = UserEnvironment::fromProcess();
  const QString &command = syntax.name();
  if (command == QLatin1String("scan")) {
    const tarnwick::Result<ScanOptions> options = scanOptionsFrom(arguments);
    if (!options)
      return reportUsageError(options.failure().message(), "scan");
    tarnwick::FastBulkScanner scanner(options->concurrency, options->fileManager);
    scanner.setConcurrencyCeiling(options->concurrencyCeiling);
    scanner.setScope(options->scope);
    return runScanCommand(*options, scanner, user);
  }
  if (command == QLatin1String("diff")) {
    const tarnwick::Result<DiffOptions> options = diffOptionsFrom(arguments);
    if (!options)
      return reportUsageError(options.failure().message(), "diff");
    return runDiffCommand(*options);
  }
  if (command == QLatin1String("caches") && arguments.isSet("system")) {
    const tarnwick::Result<SystemCachesOptions> options = systemCachesOptionsFrom(arguments);
    if (!options)
      return reportUsageError(options.failure().message(), "caches");
    tarnwick::ProcessCommandRunner runner;
    tarnwick::SystemCacheCatalogue catalogue(runner);
    return runSystemCachesCommand(*options, catalogue, {stdout, stderr, stdin, ::isatty(STDIN_FILENO) != 0});
  }
  if (command == QLatin1String("caches")) {
    const tarnwick::Result<CachesOptions> options = cachesOptionsFrom(arguments);
    if (!options)
      return reportUsageError(options.failure().message(), "caches");
    CommandCleaning cleaning(user);
    return runCachesCommand(*options, cleaning.engine, *cleaning.moves,
                            tarnwick::TrashCatalogue(tarnwick::FreedesktopTrash(user)));
  }
  if (command == QLatin1String("trash")) {
    CommandCleaning cleaning(user);
    return runTrashCommand(arguments, cleaning.engine, *cleaning.moves, tarnwick::FastBulkScanner(),
                           tarnwick::FreedesktopTrash(user));
  }
  return runAccessCommand(arguments, tarnwick::FullDiskAccessCoordinator(user));
}

bool needsGui(const CommandSyntax &syntax) {
  return &syntax == &windowCommandSyntax() || &syntax == &treemapCommandSyntax();
}

const CommandSyntax *findSyntax(std::string_view name) {
  for (const CommandSyntax *syntax : commandSyntaxes())
    if (syntax->name() == QLatin1String(name.data(), static_cast<qsizetype>(name.size())))
      return syntax;
  return nullptr;
}

// `quillane --help`, `-h`, `help [COMMAND]` and `--version`: their exit
// status, or nothing for any other command.
std::optional<int> answerGeneralRequest(std::span<char *const> arguments) {
  const std::string_view command = arguments.front();
  if (command == "--help" || command == "-h" || command == "help") {
    // `quillane help COMMAND` is that command's help.
    if (const CommandSyntax *syntax = arguments.size() == 2 && command == "help" ? findSyntax(arguments[1]) : nullptr) {
      std::fputs(syntax->helpText().c_str(), stdout);
      return 0;
    }
    if (arguments.size() > 1)
      return reportUsageError(command == "help" ? "unknown command " + std::string(arguments[1])
                                                : std::string(command) + " takes no argument " + arguments[1],
                              "");
    printOverview();
    return 0;
  }
  if (command == "--version") {
    if (arguments.size() > 1)
      return reportUsageError("--version takes no argument " + std::string(arguments[1]), "");
    std::puts("quillane " QUILLANE_VERSION);
    return 0;
  }
  return std::nullopt;
}

int dispatch(int argc, char **argv, GuiCommandRunner gui) {
  std::span<char *const> arguments(argv + 1, static_cast<std::size_t>(argc > 0 ? argc - 1 : 0));
  if (arguments.empty()) {
    if (!hasDisplay())
      return reportUsageError("no command given, and no display to open the window on", "");
    return gui(argc, argv);
  }
  if (const std::optional<int> status = answerGeneralRequest(arguments))
    return withStandardOutputFlushed(*status);
  const std::string_view command = arguments.front();
  const CommandSyntax *syntax = findSyntax(command);
  if (syntax == nullptr)
    return reportUsageError((command.starts_with('-') ? "unknown option " : "unknown command ") + std::string(command),
                            "");
  // Parsed where they run, which also answers their --help and usage errors.
  if (needsGui(*syntax))
    return gui(argc, argv);
  return withStandardOutputFlushed(runParsedCommand(
      *syntax, arguments.subspan(1), [syntax](const CommandArguments &parsed) { return runCommand(*syntax, parsed); }));
}

} // namespace

const CommandSyntax &windowCommandSyntax() {
  static const CommandSyntax syntax(
      "window", {"window [PATH] [OPTION]..."},
      "Open the explorer window, scanning PATH at once if given (the default with a display).",
      {{"open", "show the tree of an exported scan (ncdu -o, gdu -o, scan --json) instead of scanning", "FILE"}});
  return syntax;
}

bool hasDisplay() {
  for (const char *variable : {"DISPLAY", "WAYLAND_DISPLAY"})
    if (const char *value = std::getenv(variable); value && *value)
      return true;
  return false;
}

int runParsedCommand(const CommandSyntax &syntax, std::span<char *const> arguments,
                     const std::function<int(const CommandArguments &)> &run) {
  tarnwick::Result<CommandArguments> parsed = syntax.parse(arguments);
  if (!parsed)
    return reportUsageError(parsed.failure().message(), syntax.name().toStdString());
  if (parsed->wantsHelp()) {
    std::fputs(syntax.helpText().c_str(), stdout);
    return 0;
  }
  return run(*parsed);
}

std::vector<const CommandSyntax *> commandSyntaxes() {
  return {&windowCommandSyntax(), &scanCommandSyntax(),  &diffCommandSyntax(),   &treemapCommandSyntax(),
          &cachesCommandSyntax(), &trashCommandSyntax(), &accessCommandSyntax()};
}

int runCommandLine(int argc, char **argv, GuiCommandRunner gui) {
  holdClosedStandardDescriptors();
  // Past a file size limit (ulimit -f) a write fails with EFBIG, which
  // every output reports and cleans up after; the default action would end
  // the process mid-write and leave its temporary behind.
  std::signal(SIGXFSZ, SIG_IGN);
  // The commands report their own failures; this is the last line, so that
  // no exception, whatever its origin, ends the process with an abort.
  try {
    return dispatch(argc, argv, gui);
  } catch (...) {
    return reportCommandFailure("running", argc > 1 ? std::string_view(argv[1]) : std::string_view("quillane"));
  }
}

} // namespace quillane
