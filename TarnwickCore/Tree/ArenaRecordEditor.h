#pragma once

#include "TarnwickCore/Tree/DiskTreeArena.h"

#include <cstddef>
#include <vector>

namespace tarnwick {

/// Derives an arena from another by rewriting some of its records in
/// place, copying only the chunks of the tables it writes to: the rest of
/// the tables and the whole name pool stay shared with the original, which
/// is never modified. The node count and the names cannot change.
///
/// Threads: one thread uses an editor; others may read the original
/// meanwhile.
class ArenaRecordEditor {
public:
  explicit ArenaRecordEditor(const DiskTreeArena &original);

  /// The record of `id` as edited so far; `id` must be below size().
  DiskTreeArena::Record read(NodeID id) const { return arena_.record(id); }
  /// Replaces the record of `id`; the chunks it lands in are copied on
  /// their first write.
  void write(NodeID id, const DiskTreeArena::Record &record);
  std::size_t size() const { return arena_.nodeCount(); }

  /// The derived arena, with `report` and `sharedLinks` in place of the
  /// original's. The editor is spent.
  DiskTreeArena finish(ScanReport report, SharedLinkTable sharedLinks) &&;

private:
  DiskTreeArena::StoredNode &writableNode(std::size_t index);
  DiskTreeArena::FolderCounts &writableFolder(std::uint32_t index);
  std::uint32_t appendFolder();

  DiskTreeArena arena_;
  std::vector<bool> copied_;
  std::vector<bool> copiedFolders_;
};

/// Record access for addToChain and its kind, alike for an editor and a
/// table under construction.
inline DiskTreeArena::Record readRecord(const ArenaRecordEditor &editor, NodeID id) { return editor.read(id); }
inline void writeRecord(ArenaRecordEditor &editor, NodeID id, const DiskTreeArena::Record &record) {
  editor.write(id, record);
}

} // namespace tarnwick
