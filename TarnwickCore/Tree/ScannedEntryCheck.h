#pragma once

#include "TarnwickCore/Tree/DiskNode.h"

#include <optional>
#include <string>

namespace tarnwick {

/// Why the entry now at `node.path` is not the one a scan recorded as
/// `node`, by what the scan kept of it: a folder where there was none or
/// the reverse (a symbolic link put in a folder's place counts as none),
/// or, for anything but a folder, another modification time or another
/// size on disk. A file with more than one link is not compared by size,
/// since a scan counts its bytes at one name only; a node without a
/// recorded time (0) is not compared by time, and a whole-second time (an
/// import of another tool's export) only to the second. A folder keeps no
/// time of its own in the tree and is compared by kind alone.
///
/// Nothing when it matches, or when the path cannot be examined (whoever
/// acts on it reports that). The answer holds for the moment of asking:
/// it keeps a stale view from acting on a replaced entry, not a racing
/// writer, which the deletion guard's own identity checks are for.
///
/// Threads: any; one lstat.
std::optional<std::string> changeSinceScan(const DiskNode &node);

} // namespace tarnwick
