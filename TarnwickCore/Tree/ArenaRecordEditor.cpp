#include "TarnwickCore/Tree/ArenaRecordEditor.h"

#include <algorithm>
#include <memory>

namespace tarnwick {

using Record = DiskTreeArena::Record;
using StoredNode = DiskTreeArena::StoredNode;
using FolderCounts = DiskTreeArena::FolderCounts;

namespace {

// Gives `slot` a chunk of its own holding its first `count` entries; always
// a whole chunk's room, so a folder table can grow into it.
template <class Entry> void copyChunk(std::shared_ptr<Entry> &slot, std::size_t count) {
  std::shared_ptr<Entry[]> copy(new Entry[DiskTreeArena::chunkSize]);
  std::copy_n(slot.get(), count, copy.get());
  slot = std::shared_ptr<Entry>(copy, copy.get());
}

} // namespace

ArenaRecordEditor::ArenaRecordEditor(const DiskTreeArena &original)
    : arena_(original), copied_(original.chunks_.size(), false),
      copiedFolders_(original.folderChunks_.size(), false) {}

StoredNode &ArenaRecordEditor::writableNode(std::size_t index) {
  const std::size_t chunk = index >> DiskTreeArena::chunkShift;
  if (!copied_[chunk]) {
    const std::size_t first = chunk << DiskTreeArena::chunkShift;
    copyChunk(arena_.chunks_[chunk], std::min(DiskTreeArena::chunkSize, arena_.nodeCount_ - first));
    copied_[chunk] = true;
  }
  return arena_.chunks_[chunk].get()[index & (DiskTreeArena::chunkSize - 1)];
}

FolderCounts &ArenaRecordEditor::writableFolder(std::uint32_t index) {
  const std::size_t chunk = index >> DiskTreeArena::chunkShift;
  if (!copiedFolders_[chunk]) {
    const std::size_t first = chunk << DiskTreeArena::chunkShift;
    copyChunk(arena_.folderChunks_[chunk], std::min(DiskTreeArena::chunkSize, arena_.folderCount_ - first));
    copiedFolders_[chunk] = true;
  }
  return arena_.folderChunks_[chunk].get()[index & (DiskTreeArena::chunkSize - 1)];
}

std::uint32_t ArenaRecordEditor::appendFolder() {
  const auto index = static_cast<std::uint32_t>(arena_.folderCount_);
  if ((arena_.folderCount_ & (DiskTreeArena::chunkSize - 1)) == 0) {
    std::shared_ptr<FolderCounts[]> fresh(new FolderCounts[DiskTreeArena::chunkSize]);
    arena_.folderChunks_.emplace_back(fresh, fresh.get());
    copiedFolders_.push_back(true);
  } else {
    // The last chunk may end where the original's table ends: grow into a
    // copy with room.
    writableFolder(index - 1);
  }
  ++arena_.folderCount_;
  return index;
}

void ArenaRecordEditor::write(NodeID id, const Record &record) {
  StoredNode &stored = writableNode(static_cast<std::size_t>(id));
  static_cast<DiskTreeArena::NodeFields &>(stored) = record;
  stored.parentID = record.parentID;
  if (!DiskTreeArena::needsFolderEntry(record)) {
    // The entry it may have had is left unused.
    stored.folderIndex = DiskTreeArena::noFolder;
    return;
  }
  // An entry belongs to whichever record is written at its node, so
  // records moved between identifiers reuse the entries already there.
  if (stored.folderIndex == DiskTreeArena::noFolder)
    stored.folderIndex = appendFolder();
  writableFolder(stored.folderIndex) = {record.firstChildID, record.childCount, record.fileCount,
                                        record.directoryCount};
}

DiskTreeArena ArenaRecordEditor::finish(ScanReport report, SharedLinkTable sharedLinks) && {
  arena_.report_ = std::move(report);
  arena_.sharedLinks_ = std::move(sharedLinks);
  return std::move(arena_);
}

} // namespace tarnwick
