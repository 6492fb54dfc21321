#pragma once

#include "TarnwickCore/Catalogue/CacheMeasurement.h"

#include <cstdint>
#include <stop_token>
#include <string>

namespace tarnwick {

/// What the entry of a trash folder occupies.
struct TrashEntrySize {
  /// Allocated bytes (blocks × 512) of the entry and, for a folder, of
  /// every entry below it, folders included, each inode once: what
  /// `du -s -x --block-size=1` prints for it.
  std::int64_t bytes = 0;
  /// False when something below could not be read, another mount lies
  /// inside (not entered), or the walk was stopped: `bytes` is then a lower
  /// bound.
  bool complete = true;
  /// The same bytes as removal sees them: folders and single-name files
  /// summed, each multi-link file with how many of its names lie here, so
  /// that what removing several entries frees can be settled (a file with
  /// a name outside the Trash frees nothing).
  CacheMeasurement removal;

  /// Measures the entry `name` of the open folder `folder` relative to
  /// descriptors, never following a link and never entering another mount
  /// (an entry that is itself a mount point counts nothing). Depth is
  /// bounded by descriptors, one per level. Once `stop` is requested the
  /// walk ends at the next entry.
  static TrashEntrySize measure(int folder, const std::string &name, std::stop_token stop = {});
};

} // namespace tarnwick
