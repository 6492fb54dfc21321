#pragma once

#include <optional>
#include <span>
#include <string>

namespace quillane {

/// Options of `quillane scan`.
struct ScanOptions {
  std::string path; // empty: the home folder
  int top = 10;
  std::optional<std::string> jsonDestination;
  int concurrency = 8;
  bool fileManager = false;
  bool quiet = false;
};

/// Parses the arguments after "scan"; nothing on bad input, with `error` set.
std::optional<ScanOptions> parseScanOptions(std::span<char *const> arguments, std::string &error);

/// Runs the scan and prints its summary. Exit status: 0 on success, 1 when
/// the root cannot be read, the JSON file cannot be written or memory,
/// threads or file descriptors run out (said on standard error, with no
/// JSON file left behind), 130 when interrupted. Never throws.
int runScanCommand(const ScanOptions &options);

} // namespace quillane
