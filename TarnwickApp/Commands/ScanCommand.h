#pragma once

#include <optional>
#include <span>
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
  // How the caller builds the scanner.
  int concurrency = 8;
  bool fileManager = false;
  bool quiet = false;
};

/// Parses the arguments after "scan"; nothing on bad input, with `error` set.
std::optional<ScanOptions> parseScanOptions(std::span<char *const> arguments, std::string &error);

/// Runs the scan with `scanner` (built from the options) and prints its
/// summary; no path means `user`'s home folder. Exit status: 0 on success, 1
/// when the root cannot be read, the JSON file cannot be written or memory,
/// threads or file descriptors run out (said on standard error, with no
/// JSON file left behind), 130 when interrupted. Never throws.
int runScanCommand(const ScanOptions &options, const tarnwick::FastBulkScanner &scanner,
                   const tarnwick::UserEnvironment &user);

} // namespace quillane
