#pragma once

#include "TarnwickCore/Tree/DiskTreeArena.h"

#include <cstddef>
#include <vector>

namespace tarnwick {

/// Derives an arena from another by rewriting some of its records in
/// place, copying only the chunks of the table it writes to: the rest of
/// the table and the whole name pool stay shared with the original, which
/// is never modified. The node count and the names cannot change.
///
/// Threads: one thread uses an editor; others may read the original
/// meanwhile.
class ArenaRecordEditor {
public:
  explicit ArenaRecordEditor(const DiskTreeArena &original);

  /// The record of `id` as edited so far; `id` must be below size().
  const DiskTreeArena::Record &read(NodeID id) const { return arena_.record(id); }
  /// The record at `index` for writing; its chunk is copied on the first
  /// write. A reference stays valid until finish().
  DiskTreeArena::Record &operator[](std::size_t index);
  std::size_t size() const { return arena_.nodeCount(); }

  /// The derived arena, with `report` and `sharedLinks` in place of the
  /// original's. The editor is spent.
  DiskTreeArena finish(ScanReport report, SharedLinkTable sharedLinks) &&;

private:
  DiskTreeArena arena_;
  std::vector<bool> copied_;
};

} // namespace tarnwick
