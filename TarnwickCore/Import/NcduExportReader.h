#pragma once

#include "TarnwickCore/Import/ExportReadError.h"
#include "TarnwickCore/Support/UniqueFd.h"
#include "TarnwickCore/Tree/DiskTreeArena.h"

#include <stop_token>
#include <string>
#include <string_view>
#include <variant>

namespace tarnwick {

/// Reads a scan export in ncdu's JSON format into the tree a scan of the
/// same folder would give: the files written by `ncdu -o` (1.x and 2.x),
/// `gdu -o` and `quillane scan --json`, plain or compressed with gzip or
/// zstd (told by their magic bytes).
///
/// What the fields become:
///   - a node's size is its "dsize" (allocated bytes; 0 when absent), a
///     folder's its own blocks, to which its entries are added; "asize" is
///     checked and otherwise ignored;
///   - names are kept byte for byte, also when they are not UTF-8 (raw in
///     the file, as the exporters write them); a name the JSON escapes can
///     only spell as a lone surrogate is refused as a syntax error;
///   - files that share ino and dev ("dev" inherited from the folder) and are
///     marked as linked ("hlnkc", or "nlink" above 1) count once, at their
///     first name breadth-first, as a scan counts them; gdu, which marks
///     only the repeated names, gets its marked names counted 0;
///   - "excluded": "pattern" (or "frmlnk") entries are counted in the
///     report's excludedCount and left out; "otherfs"/"othfs"/"kernfs" ones
///     stay as empty folders and are listed as skipped mounts;
///   - "read_error" marks the folder (or, on a file, its folder) unreadable
///     in the report; on the root it also makes rootReadable false;
///   - "notreg" entries whose "mode" says symbolic link are counted as
///     skipped symlinks, their blocks in their folder's own size, as a scan
///     does; other "notreg" entries (and symlinks without "mode", which
///     ncdu writes without -e) are files.
///
/// The root's name is the arena's rootPath; its node is named after the
/// path's last component. The scan report's duration is the read's.
///
/// Reading streams: memory grows with the tree, not with the file or its
/// nesting, and nesting costs no C++ stack. So that it cannot grow with
/// the file, a string, number or literal longer than 4 MiB of text, a
/// skipped value nested more than 65,536 levels, and a run of over 4,096
/// arrays and objects opening and closing beyond two per level with no
/// value between are refused; no exporter writes any of them. The first
/// fault ends the read with an ExportReadError and no tree.
///
/// A stop request ends the read, at the next block of input, with an
/// `unreadable` error.
///
/// Threads: each call is independent and runs on the calling thread alone.
class NcduExportReader {
public:
  using Outcome = std::variant<DiskTreeArena, ExportReadError>;

  /// Reads `fd` to its end.
  static Outcome read(UniqueFd fd, std::stop_token stop = {},
                      std::size_t maxNodeCount = DiskTreeArena::maxNodeCount);
  /// Reads the file at `path`; "-" reads standard input (left open).
  static Outcome readFile(const std::string &path, std::stop_token stop = {},
                          std::size_t maxNodeCount = DiskTreeArena::maxNodeCount);
  /// Reads an export held in memory.
  static Outcome readBytes(std::string_view bytes, std::size_t maxNodeCount = DiskTreeArena::maxNodeCount);
};

} // namespace tarnwick
