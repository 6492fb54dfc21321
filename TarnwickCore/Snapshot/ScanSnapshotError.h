#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace tarnwick {

/// Why a scan snapshot could not be read, and where. The reader stops at the
/// first fault and returns no tree, not even the part read so far.
///
/// `byteOffset` counts bytes from the start of the file: where the reader
/// stood when it saw the fault (the file's length when it ends early).
///
/// Threads: a plain value.
struct ScanSnapshotError {
  enum class Kind : std::uint8_t {
    /// The file could not be opened or read (the detail names the errno).
    unreadable,
    /// Not a snapshot: the first bytes are not the format's magic.
    wrongMagic,
    /// Written by a newer version of the format than this reader knows.
    futureVersion,
    /// Shorter than its header says.
    truncated,
    /// A checksum does not match: the bytes changed after they were written.
    checksum,
    /// Checksums match, but the contents are impossible (a count beyond the
    /// file, a node no folder holds, a name longer than a name can be).
    corrupt,
  };

  Kind kind = Kind::corrupt;
  std::uint64_t byteOffset = 0;
  /// What was wrong, for people.
  std::string detail;

  /// The fault `kind` met at byte `offset`.
  static ScanSnapshotError at(Kind kind, std::uint64_t offset, std::string detail) {
    return {kind, offset, std::move(detail)};
  }

  /// "byte 1234: <detail>".
  std::string message() const { return "byte " + std::to_string(byteOffset) + ": " + detail; }

  friend bool operator==(const ScanSnapshotError &, const ScanSnapshotError &) = default;
};

} // namespace tarnwick
