#include "TarnwickCore/Tree/ArenaRecordEditor.h"

#include <algorithm>
#include <memory>

namespace tarnwick {

using Record = DiskTreeArena::Record;
using StoredNode = DiskTreeArena::StoredNode;
using FolderCounts = DiskTreeArena::FolderCounts;

namespace {

// Entry `index` of a table of `count` entries held in `chunks`, its chunk
// first given a copy of its own (with a whole chunk's room, so a folder
// table can grow into it) unless `copied` says it has one.
template <class Entry>
Entry &writableEntry(std::vector<std::shared_ptr<Entry>> &chunks, std::vector<bool> &copied, std::size_t count,
                     std::size_t index) {
  const std::size_t chunk = index >> DiskTreeArena::chunkShift;
  std::shared_ptr<Entry> &slot = chunks[chunk];
  if (!copied[chunk]) {
    const std::size_t first = chunk << DiskTreeArena::chunkShift;
    std::shared_ptr<Entry[]> copy(new Entry[DiskTreeArena::chunkSize]);
    std::copy_n(slot.get(), std::min(DiskTreeArena::chunkSize, count - first), copy.get());
    slot = std::shared_ptr<Entry>(copy, copy.get());
    copied[chunk] = true;
  }
  return slot.get()[index & (DiskTreeArena::chunkSize - 1)];
}

} // namespace

ArenaRecordEditor::ArenaRecordEditor(const DiskTreeArena &original)
    : arena_(original), copied_(original.chunks_.size(), false),
      copiedFolders_(original.folderChunks_.size(), false) {}

StoredNode &ArenaRecordEditor::writableNode(std::size_t index) {
  return writableEntry(arena_.chunks_, copied_, arena_.nodeCount_, index);
}

FolderCounts &ArenaRecordEditor::writableFolder(std::uint32_t index) {
  return writableEntry(arena_.folderChunks_, copiedFolders_, arena_.folderCount_, index);
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
