#pragma once

#include "TarnwickApp/Commands/CommandSyntax.h"
#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Scan/ScanScope.h"
#include "TarnwickCore/Support/Result.h"

#include <optional>
#include <string>

namespace tarnwick {
class FastBulkScanner;
struct UserEnvironment;
} // namespace tarnwick

namespace quillane {

/// Options of `quillane scan`.
struct ScanOptions {
  std::string path; // empty: the home folder
  int top = 10;
  std::optional<std::string> jsonDestination;
  /// --import FILE|-: read the tree from an export instead of scanning.
  std::optional<std::string> importSource;
  /// --largest N: list the N largest files below the summary (0: none).
  int largest = 0;
  /// --types: list the usage by file type below the summary.
  bool types = false;
  /// --report-json FILE|-: the summary, largest files and types as JSON.
  std::optional<std::string> reportDestination;
  // How the caller builds the scanner.
  int concurrency = 8;
  /// Walkers may grow to this many while they wait on the device; a given
  /// --concurrency fixes their number.
  int concurrencyCeiling = tarnwick::FastBulkScanner::concurrencyCap;
  bool fileManager = false;
  bool quiet = false;
  /// --keep-partial: a signal stops the scan but keeps what was read.
  bool keepPartial = false;
  tarnwick::ScanScope scope;
};

/// The options that choose what a scan leaves out, shared by scan and
/// treemap: -x/--one-file-system, --exclude GLOB (repeatable),
/// --exclude-from FILE, --include-remote.
QList<QCommandLineOption> scanScopeOptions();

/// The scope those options ask for. An exclude file holds one pattern a
/// line; blank lines and lines starting with '#' are skipped. A file that
/// cannot be read is a failure naming it and why.
tarnwick::Result<tarnwick::ScanScope> scanScopeFrom(const CommandArguments &arguments);

/// What `quillane scan` accepts.
const CommandSyntax &scanCommandSyntax();

/// The options scan's arguments ask for; the failure says what is wrong with them.
tarnwick::Result<ScanOptions> scanOptionsFrom(const CommandArguments &arguments);

/// Runs the scan with `scanner` (built from the options), or reads the
/// export named by --import, and prints its summary, with the first folders
/// that could not be read; no path means `user`'s home folder. A refused
/// export ends with status 1 and no summary, and so does a root that cannot
/// be read. Exit status: 0 on success, also when folders below
/// the root could not be read; 1 when the root cannot be read, the JSON file
/// cannot be written or memory, threads or file descriptors run out (said
/// on standard error, with no JSON file left behind); 130 when interrupted;
/// 3 when --keep-partial turned a signal into a stop that kept what was read
/// (its summary and outputs then say "partial: stopped after N entries").
/// Never throws.
int runScanCommand(const ScanOptions &options, const tarnwick::FastBulkScanner &scanner,
                   const tarnwick::UserEnvironment &user);

} // namespace quillane
