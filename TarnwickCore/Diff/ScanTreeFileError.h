#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

/// Why ScanTreeFile could not read a tree from a file: which reader refused
/// it and that reader's message.
///
/// Threads: a plain value.
struct ScanTreeFileError {
  enum class Kind : std::uint8_t {
    /// The file could not be opened or its first bytes read.
    unreadable,
    /// A snapshot (by its magic) that ScanSnapshotReader refused.
    snapshot,
    /// Taken as an export; NcduExportReader refused it (or it is neither).
    exportFile,
    /// A stop was requested before the tree was read.
    cancelled,
  };

  Kind kind = Kind::unreadable;
  /// The file as it was named.
  std::string path;
  /// The reader's own words ("byte 12: …"), or the system's for `unreadable`.
  std::string detail;

  /// "PATH: DETAIL".
  std::string message() const { return path + ": " + detail; }

  friend bool operator==(const ScanTreeFileError &, const ScanTreeFileError &) = default;
};

} // namespace tarnwick
