#pragma once

#include "TarnwickCore/Tree/DiskTreeArena.h"

#include <cstdint>
#include <vector>

namespace tarnwick {

/// Calls `visit(id, record)` for every node strictly below `folder`, each
/// once, in no promised order; nothing for an invalid `folder`. Below the
/// root it reads the table front to back, skipping removed nodes, which is
/// the fastest order; below any other folder it goes down through the
/// children's ranges. Threads: reads `arena` only.
template <class Visit> void forEachNodeBelow(const DiskTreeArena &arena, NodeID folder, Visit &&visit) {
  if (!arena.isValid(folder))
    return;
  if (folder == DiskTreeArena::rootID) {
    for (NodeID id = 1; id < static_cast<NodeID>(arena.nodeCount()); ++id)
      if (const DiskTreeArena::Record &r = arena.record(id); !r.isRemoved)
        visit(id, r);
    return;
  }
  std::vector<NodeID> pending{folder};
  while (!pending.empty()) {
    const DiskTreeArena::Record &parent = arena.record(pending.back());
    pending.pop_back();
    for (std::uint32_t i = 0; i < parent.childCount; ++i) {
      const NodeID child = parent.firstChildID + static_cast<NodeID>(i);
      const DiskTreeArena::Record &r = arena.record(child);
      visit(child, r);
      if (r.childCount > 0)
        pending.push_back(child);
    }
  }
}

} // namespace tarnwick
