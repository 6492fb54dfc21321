#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

/// Why an export could not be read, and where: reading stops at the first
/// fault, and no tree is returned then, not even the part read so far.
///
/// `byteOffset` counts bytes of the JSON text (after decompression, for a
/// compressed file) up to where the reader stood when it saw the fault:
/// for text that is not JSON, the first byte that cannot continue it (the
/// text's length when it ends early); otherwise the end of the offending
/// value, or of the object it completed.
///
/// Threads: a plain value.
struct ExportReadError {
  enum class Kind : std::uint8_t {
    /// The file or stream could not be read (the detail names the errno).
    unreadable,
    /// The gzip or zstd stream is corrupt or ends early.
    compression,
    /// Not JSON: bad token, truncated text, trailing garbage, a bad escape.
    syntax,
    /// JSON, but not shaped as an export: a folder without its info object,
    /// a scalar where an entry belongs, an unsupported major version.
    structure,
    /// A known field of the wrong JSON type ("dsize": "12").
    wrongType,
    /// A field out of range: a negative or oversized size, a name that is
    /// empty, holds '/' or NUL, or is longer than a name can be.
    badValue,
    /// Two entries of one folder with the same name.
    duplicateName,
    /// More entries, or larger totals, than a tree can hold; or out of memory.
    tooLarge,
  };

  Kind kind = Kind::syntax;
  std::uint64_t byteOffset = 0;
  /// What was wrong, for people; names in it are byte for byte.
  std::string detail;

  /// "byte 1234: <detail>".
  std::string message() const { return "byte " + std::to_string(byteOffset) + ": " + detail; }

  friend bool operator==(const ExportReadError &, const ExportReadError &) = default;
};

} // namespace tarnwick
