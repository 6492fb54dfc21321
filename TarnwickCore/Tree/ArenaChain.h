#pragma once

#include "TarnwickCore/Tree/DiskTreeArena.h"

#include <cstdint>
#include <string_view>

namespace tarnwick {

inline DiskTreeArena::Record readRecord(const DiskTreeArena::RecordTable &table, NodeID id) {
  return table[static_cast<std::size_t>(id)];
}
inline void writeRecord(DiskTreeArena::RecordTable &table, NodeID id, const DiskTreeArena::Record &record) {
  table[static_cast<std::size_t>(id)] = record;
}

/// Adds `bytes`, `files` and `folders` to `id` and every ancestor of it in a
/// table being derived from an arena (ArenaEdit): a RecordTable or an
/// ArenaRecordEditor, in which every parent must already be.
template <class Table>
void addToChain(Table &records, NodeID id, std::int64_t bytes, std::int64_t files, std::int64_t folders) {
  for (NodeID cursor = id; cursor >= 0;) {
    DiskTreeArena::Record r = readRecord(records, cursor);
    r.allocatedSize += bytes;
    r.fileCount = static_cast<std::uint32_t>(r.fileCount + files);
    r.directoryCount = static_cast<std::uint32_t>(r.directoryCount + folders);
    writeRecord(records, cursor, r);
    cursor = r.parentID;
  }
}

/// Whether `path` is `top` or lies below it.
inline bool isWithinPath(std::string_view path, std::string_view top) {
  return path.starts_with(top) && (path.size() == top.size() || path[top.size()] == '/' || top.ends_with('/'));
}

} // namespace tarnwick
