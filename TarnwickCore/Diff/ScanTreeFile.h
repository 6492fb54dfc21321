#pragma once

#include "TarnwickCore/Diff/ScanTreeFileError.h"
#include "TarnwickCore/Tree/DiskTreeArena.h"

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <variant>

namespace tarnwick {

/// A scan kept in a file, read back as a tree whichever way it was kept:
/// a snapshot (ScanSnapshotWriter's, told by its magic) or an export
/// (ncdu -o, gdu -o, quillane scan --json; plain, gzip or zstd).
///
/// Threads: a plain value; read() runs on the calling thread alone.
struct ScanTreeFile {
  enum class Format : std::uint8_t { snapshot, exportFile };
  using Outcome = std::variant<ScanTreeFile, ScanTreeFileError>;

  DiskTreeArena arena;
  Format format = Format::exportFile;
  /// When the scan was made, seconds since 1970-01-01 UTC, when the file
  /// says (snapshots do; exports in their metadata's "timestamp").
  std::optional<std::int64_t> scanTime;

  /// Reads the file at `path`; "-" reads an export from standard input. A
  /// stop request ends an export's read early, with `cancelled`.
  static Outcome read(const std::string &path, std::stop_token stop = {});
};

} // namespace tarnwick
