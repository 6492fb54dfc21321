#pragma once

#include "TarnwickApp/Commands/CommandSyntax.h"
#include "TarnwickCore/Support/Result.h"

#include <string>

namespace quillane {

/// Options of `quillane diff`.
struct DiffOptions {
  /// Snapshot or export files (ScanTreeFile); "-" reads an export from
  /// standard input.
  std::string olderFile;
  std::string newerFile;
  /// How many changed entries to list, largest change first.
  int top = 10;
  bool json = false;
};

/// What `quillane diff` accepts.
const CommandSyntax &diffCommandSyntax();

/// The options diff's arguments ask for; the failure says what is wrong
/// with them.
tarnwick::Result<DiffOptions> diffOptionsFrom(const CommandArguments &arguments);

/// Reads both files, compares them (TreeComparison) and prints the change
/// on standard output: a table with human sizes, or with --json a document
/// with exact bytes. Exit status: 0 on success, 1 when a file cannot be
/// read as a scan (said in one line naming it), standard output cannot be
/// written or memory runs out, 130 when interrupted. Never throws.
int runDiffCommand(const DiffOptions &options);

} // namespace quillane
