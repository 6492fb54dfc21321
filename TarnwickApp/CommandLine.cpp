#include "TarnwickApp/CommandLine.h"

#include "TarnwickApp/Commands/CachesCommand.h"
#include "TarnwickApp/Commands/CleanupCommands.h"
#include "TarnwickApp/Commands/CommandFailure.h"
#include "TarnwickApp/Commands/ScanCommand.h"
#include "TarnwickApp/Commands/SystemCachesCommand.h"
#include "TarnwickApp/Commands/TreemapCommand.h"
#include "TarnwickApp/Commands/UninterruptibleMoves.h"
#include "TarnwickApp/TarnwickApp.h"
#include "TarnwickCore/Access/FullDiskAccessCoordinator.h"
#include "TarnwickCore/Catalogue/SystemCacheCatalogue.h"
#include "TarnwickCore/Deletion/SafeCleaningEngine.h"
#include "TarnwickCore/Deletion/TrashCatalogue.h"
#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Support/UserEnvironment.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unistd.h>

namespace quillane {
namespace {

using tarnwick::UserEnvironment;

constexpr const char *usageText =
    "Usage: quillane [window [PATH | --open FILE]]\n"
    "\n"
    "  window   Open the explorer window (the default with no command when a display is available);\n"
    "           with PATH, start scanning it at once.\n"
    "           --open FILE      show the tree of an export (as for scan --import) instead\n"
    "\n"
    "Usage: quillane scan [PATH] [--top N] [--largest N] [--types] [--json FILE|-] [--report-json FILE|-]\n"
    "                     [--concurrency N] [--file-manager] [--quiet]\n"
    "                     [-x] [--exclude GLOB]... [--exclude-from FILE] [--include-remote]\n"
    "       quillane scan --import FILE|- [--top N] [--largest N] [--types] [--json FILE|-] [--report-json FILE|-]\n"
    "\n"
    "  scan     Scan PATH (default: your home folder) and print its size and largest items.\n"
    "           --top N          how many of the largest direct children to list (default 10)\n"
    "           --largest N      also list the N largest files anywhere below PATH\n"
    "           --types          also list the space each file type (extension) takes\n"
    "           --json FILE|-    also write the whole tree as JSON that ncdu -f and gdu -f open\n"
    "           --report-json FILE|-  also write the summary, the largest files (N, default 100)\n"
    "                            and the file types as JSON (schema in the README)\n"
    "           --concurrency N  directories read at once, 1 to 32 (default 8)\n"
    "           --file-manager   use the slower portable directory listing\n"
    "           --quiet          no live progress line\n"
    "           --import FILE|-  read the tree from an export (ncdu -o, gdu -o, scan --json; plain,\n"
    "                            gzip or zstd) instead of scanning; - reads standard input\n"
    "           -x, --one-file-system  do not enter mount points below PATH\n"
    "           --exclude GLOB   leave out entries whose name (GLOB without '/') or path below PATH\n"
    "                            (GLOB with '/', '*' not crossing '/') matches; a trailing '/' means\n"
    "                            folders only; repeatable\n"
    "           --exclude-from FILE  the same, one GLOB a line ('#' comments and blank lines skipped)\n"
    "           --include-remote     also enter network file systems (nfs, cifs, sshfs, …) and\n"
    "                            read-only images (squashfs, iso9660, …) mounted below PATH\n"
    "\n"
    "Usage: quillane treemap [PATH] [--size WxH] [--json FILE|-] [--svg FILE] [--png FILE]\n"
    "                        [-x] [--exclude GLOB]... [--exclude-from FILE] [--include-remote]\n"
    "\n"
    "  treemap  Scan PATH (default: your home folder) and lay its contents out as a treemap.\n"
    "           --size WxH       canvas size in points (default 1200x800)\n"
    "           --json FILE|-    the tiles as JSON (frames, shares, colours)\n"
    "           --svg FILE       the treemap as an SVG drawing\n"
    "           --png FILE       the treemap as a PNG image (no display needed)\n"
    "           -x, --exclude, --exclude-from, --include-remote  what the scan leaves out, as for scan\n"
    "\n"
    "Usage: quillane caches [--json]\n"
    "       quillane caches --clean [--category TITLE] [--yes]\n"
    "\n"
    "  caches   List the known reclaimable caches in your home folder, largest first (--json: as JSON).\n"
    "           --clean            move the caches ticked by default to the Trash, after the safety checks\n"
    "           --category TITLE   only that category, e.g. \"Browser & Electron ServiceWorker Caches\"\n"
    "           --yes              do not ask first (needed when standard input is not a terminal)\n"
    "\n"
    "Usage: quillane caches --system [--json]\n"
    "       quillane caches --system --clean ID... [--yes]\n"
    "\n"
    "           --system           the caches the system owns (APT, journal, snap, Flatpak, Docker, Podman),\n"
    "                              each with the owner's command that cleans it, or what to run instead\n"
    "           --clean ID...      run the named items' commands (through pkexec when root is needed),\n"
    "                              shown first and asked about (--yes: without asking)\n"
    "\n"
    "Usage: quillane trash [--permanent] [--] PATH...\n"
    "       quillane trash --list [--json]\n"
    "       quillane trash --restore [--] PATH...\n"
    "       quillane trash --empty [--yes]\n"
    "\n"
    "  trash    Move each PATH to the Trash (or, with --permanent, remove it), after the safety checks.\n"
    "           --list           list the Trash: deletion date, size and original path of each item (--json: as JSON)\n"
    "           --restore        put back the item trashed last from each PATH; nothing there is replaced\n"
    "           --empty          remove everything in the Trash for good, after asking (--yes: without asking)\n"
    "\n"
    "Usage: quillane access\n"
    "\n"
    "  access   Show whether protected locations are readable, and what Quillane reads and why.\n"
    "\n"
    "  --help     show this text\n"
    "  --version  show the version\n";

// Qt sees only the program name: every other argument is ours.
int runWindow(char *program, const UserEnvironment &user, const std::optional<QString> &initialScan,
              const std::optional<QString> &openFile = std::nullopt) {
  int qtArgc = 1;
  char *qtArgv[] = {program, nullptr};
  TarnwickApp application(qtArgc, qtArgv, user);
  return application.exec(initialScan, openFile);
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

int usageError(const std::string &message) {
  std::fprintf(stderr, "quillane: %s\n\n%s", message.c_str(), usageText);
  return 2;
}

// Everything a command or the window uses is built here, once, from the
// user's environment, and handed down.
int dispatch(int argc, char **argv) {
  std::span<char *const> arguments(argv + 1, static_cast<std::size_t>(argc > 0 ? argc - 1 : 0));
  const UserEnvironment user = UserEnvironment::fromProcess();
  if (arguments.empty()) {
    if (!TarnwickApp::hasDisplay())
      return usageError("no command given, and no display to open the window on");
    return runWindow(argv[0], user, std::nullopt);
  }
  std::string_view command = arguments.front();
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(usageText, stdout);
    return 0;
  }
  if (command == "--version") {
    std::puts("quillane " QUILLANE_VERSION);
    return 0;
  }
  if (command == "scan") {
    const tarnwick::Result<ScanOptions> options = parseScanOptions(arguments.subspan(1));
    if (!options)
      return usageError(options.failure().message());
    tarnwick::FastBulkScanner scanner(options->concurrency, options->fileManager);
    scanner.setScope(options->scope);
    return runScanCommand(*options, scanner, user);
  }
  if (command == "treemap") {
    const tarnwick::Result<TreemapOptions> options = parseTreemapOptions(arguments.subspan(1));
    if (!options)
      return usageError(options.failure().message());
    tarnwick::FastBulkScanner scanner;
    scanner.setScope(options->scope);
    return runTreemapCommand(*options, scanner, user);
  }
  if (command == "window") {
    const auto absolute = [](const char *argument) {
      return QDir::cleanPath(QDir::current().absoluteFilePath(QFile::decodeName(argument)));
    };
    std::optional<QString> path, openFile;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
      if (std::string_view(arguments[i]) == "--open") {
        if (openFile || i + 1 == arguments.size())
          return usageError("window --open takes one FILE");
        openFile = absolute(arguments[++i]);
      } else if (!path) {
        path = absolute(arguments[i]);
      } else {
        return usageError("window takes at most one PATH");
      }
    }
    if (path && openFile)
      return usageError("window takes a PATH to scan or --open FILE, not both");
    // An explicit Qt platform (offscreen, say) is taken as the user's choice.
    if (!TarnwickApp::hasDisplay() && !std::getenv("QT_QPA_PLATFORM"))
      return usageError("no display to open the window on (DISPLAY and WAYLAND_DISPLAY are unset)");
    return runWindow(argv[0], user, path, openFile);
  }
  if (command == "caches" && wantsSystemCaches(arguments.subspan(1))) {
    tarnwick::ProcessCommandRunner runner;
    tarnwick::SystemCacheCatalogue catalogue(runner);
    return runSystemCachesCommand(arguments.subspan(1), catalogue, {stdout, stderr, stdin, ::isatty(STDIN_FILENO) != 0});
  }
  if (command == "caches") {
    CommandCleaning cleaning(user);
    return runCachesCommand(arguments.subspan(1), cleaning.engine, *cleaning.moves,
                            tarnwick::TrashCatalogue(tarnwick::FreedesktopTrash(user)));
  }
  if (command == "trash") {
    CommandCleaning cleaning(user);
    return runTrashCommand(arguments.subspan(1), cleaning.engine, *cleaning.moves, tarnwick::FastBulkScanner(),
                           tarnwick::TrashCatalogue(tarnwick::FreedesktopTrash(user)));
  }
  if (command == "access")
    return runAccessCommand(arguments.subspan(1), tarnwick::FullDiskAccessCoordinator(user));
  return usageError("unknown command " + std::string(command));
}

} // namespace

int runCommandLine(int argc, char **argv) {
  // The commands report their own failures; this is the last line, so that
  // no exception, whatever its origin, ends the process with an abort.
  try {
    return dispatch(argc, argv);
  } catch (...) {
    return reportCommandFailure("running", argc > 1 ? std::string_view(argv[1]) : std::string_view("quillane"));
  }
}

} // namespace quillane
