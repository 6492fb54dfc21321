#pragma once

#include "TarnwickCore/Tree/DiskTreeArena.h"

#include <cstddef>
#include <vector>

namespace tarnwick {

/// The `count` largest files below `folder` (or `folder` itself when it is
/// a file), largest first, equal sizes in identifier order. Sizes are
/// allocated bytes, so a hard-linked file appears once, at the name that
/// carries its bytes, and files that take no space are left out. Empty for
/// an invalid identifier or a `count` of 0.
///
/// Cost: one pass over the subtree keeping a heap of `count` entries; no
/// disk access. Threads: reads `arena` only.
std::vector<NodeID> largestFiles(const DiskTreeArena &arena, NodeID folder, std::size_t count);

} // namespace tarnwick
