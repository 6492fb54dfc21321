#pragma once

#include "TarnwickCore/Tree/DiskTreeArena.h"

namespace tarnwick {

/// A record of a hand-built arena: its size, kind, place and counts; the
/// rest zero.
inline DiskTreeArena::Record record(std::int64_t size, bool isDirectory, NodeID parent, NodeID firstChild,
                                    std::uint32_t childCount, std::uint32_t fileCount,
                                    std::uint32_t directoryCount = 0) {
  return {{size, 0, 0, 0, isDirectory, 0, 0, 0}, parent, firstChild, childCount, fileCount, directoryCount};
}

} // namespace tarnwick
