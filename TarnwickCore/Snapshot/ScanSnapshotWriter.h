#pragma once

#include "TarnwickCore/Tree/DiskTreeArena.h"

#include <cstdint>
#include <string>

namespace tarnwick {

/// Turns a scanned tree into the bytes of a scan snapshot (the layout is in
/// SnapshotFormat.h), which ScanSnapshotReader turns back into an equal
/// arena: every node's size, time, flags, category hint and name byte for
/// byte, the structure, the root path, the scan report and the hard links.
///
/// Nodes a derivation removed (withoutSubtrees) are left out, and the others
/// numbered breadth-first again, so an arena with removed nodes comes back
/// without them and with its identifiers closed up. File and folder counts
/// are not stored: the reader sums them again from the tree, as the scan
/// did (a file counts 1, a folder the files and folders below it).
///
/// Threads: reads `arena` only; any thread.
class ScanSnapshotWriter {
public:
  /// The whole file; `scanTime` is when the scan was made, seconds since
  /// 1970-01-01 UTC.
  static std::string encode(const DiskTreeArena &arena, std::int64_t scanTime);
};

} // namespace tarnwick
