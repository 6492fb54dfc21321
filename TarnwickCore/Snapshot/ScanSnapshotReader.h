#pragma once

#include "TarnwickCore/Snapshot/ScanSnapshotError.h"
#include "TarnwickCore/Snapshot/ScanSnapshotHeader.h"
#include "TarnwickCore/Tree/DiskTreeArena.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace tarnwick {

/// Reads scan snapshots (ScanSnapshotWriter's files) back into trees.
///
/// Nothing is trusted: the magic, the version and both checksums are
/// checked first, and then every count and index before it is used, each
/// count bounded by the bytes left to hold what it counts, so a crafted file
/// cannot make the reader allocate much more than a few times its size.
/// The first fault ends the read with a ScanSnapshotError and no tree.
///
/// Threads: each call is independent and runs on the calling thread alone.
class ScanSnapshotReader {
public:
  using Outcome = std::variant<DiskTreeArena, ScanSnapshotError>;
  using HeaderOutcome = std::variant<ScanSnapshotHeader, ScanSnapshotError>;

  /// Whether the file at a path may be reached through a symbolic link: a
  /// file the user names is followed; the files of the snapshot store's own
  /// folder are not (a link there is refused with ELOOP), hence the default.
  enum class Links : std::uint8_t { follow, refuse };

  /// A whole snapshot held in memory.
  static Outcome readBytes(std::string_view bytes);
  /// The snapshot file at `path`. Its header is read and checked first, so
  /// a file much longer than its header accounts for is refused before it
  /// is read whole.
  static Outcome readFile(const std::string &path, Links links = Links::refuse);
  /// The snapshot file open at `fd`, named `path` in errors: for callers
  /// that open it themselves. Anything but a regular file is refused.
  static Outcome readOpenFile(int fd, const std::string &path);

  /// The header alone, from the file's first bytes (`bytes`, at least the
  /// prefix and the header when the file has them) and the file's length,
  /// which must be the one the header announces. The body's checksum is not
  /// checked: that takes the whole file.
  static HeaderOutcome readHeaderBytes(std::string_view bytes, std::uint64_t fileSize);
  /// The header of the file at `path`, reading only its first bytes.
  static HeaderOutcome readHeaderFile(const std::string &path, Links links = Links::refuse);
  /// As readHeaderFile, for a file open at `fd` (see readOpenFile).
  static HeaderOutcome readHeaderOpenFile(int fd, const std::string &path);
};

} // namespace tarnwick
