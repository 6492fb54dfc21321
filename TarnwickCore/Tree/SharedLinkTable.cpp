#include "TarnwickCore/Tree/SharedLinkTable.h"

namespace tarnwick {

void SharedLinkTable::add(File file, std::span<const NodeID> names) {
  file.firstName = static_cast<std::uint32_t>(names_.size());
  file.nameCount = static_cast<std::uint32_t>(names.size());
  files_.push_back(file);
  names_.insert(names_.end(), names.begin(), names.end());
}

std::size_t SharedLinkTable::memoryBytes() const {
  return files_.capacity() * sizeof(File) + names_.capacity() * sizeof(NodeID);
}

} // namespace tarnwick
