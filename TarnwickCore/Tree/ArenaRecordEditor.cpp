#include "TarnwickCore/Tree/ArenaRecordEditor.h"

#include <algorithm>
#include <memory>

namespace tarnwick {

using Record = DiskTreeArena::Record;

ArenaRecordEditor::ArenaRecordEditor(const DiskTreeArena &original)
    : arena_(original), copied_(original.chunks_.size(), false) {}

Record &ArenaRecordEditor::operator[](std::size_t index) {
  const std::size_t chunk = index >> DiskTreeArena::chunkShift;
  std::shared_ptr<Record> &slot = arena_.chunks_[chunk];
  if (!copied_[chunk]) {
    const std::size_t first = chunk << DiskTreeArena::chunkShift;
    const std::size_t count = std::min(DiskTreeArena::chunkSize, arena_.nodeCount_ - first);
    std::shared_ptr<Record[]> copy(new Record[count]);
    std::copy_n(slot.get(), count, copy.get());
    slot = std::shared_ptr<Record>(copy, copy.get());
    copied_[chunk] = true;
  }
  return slot.get()[index & (DiskTreeArena::chunkSize - 1)];
}

DiskTreeArena ArenaRecordEditor::finish(ScanReport report, SharedLinkTable sharedLinks) && {
  arena_.report_ = std::move(report);
  arena_.sharedLinks_ = std::move(sharedLinks);
  return std::move(arena_);
}

} // namespace tarnwick
