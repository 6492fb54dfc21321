#pragma once

#include "TarnwickCore/Tree/DiskNode.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tarnwick {

/// The files of one scan that have several names (hard links): for each,
/// its identity, its link count and every node of the tree that names it.
/// Kept beside the arena so that what removing a subtree frees can be told
/// without reading the disk again; it holds nothing for a file with one
/// name, so it costs nothing on most trees.
///
/// Threads: a plain value, immutable once built.
class SharedLinkTable {
public:
  struct File {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    /// Links the file had when the scan read it, wherever they are; at
    /// least the number of its names in the tree.
    std::uint64_t linkCount = 0;
    /// Allocated bytes, carried by the first of its names (the lowest node
    /// identifier), which the other names count as 0.
    std::int64_t allocatedSize = 0;
    std::uint32_t firstName = 0;
    std::uint32_t nameCount = 0;

    friend bool operator==(const File &, const File &) = default;
  };

  SharedLinkTable() = default;

  /// Appends a file whose names are `names`, ascending.
  void add(File file, std::span<const NodeID> names);

  const std::vector<File> &files() const { return files_; }
  /// The nodes naming `file`, ascending.
  std::span<const NodeID> names(const File &file) const {
    return std::span<const NodeID>(names_).subspan(file.firstName, file.nameCount);
  }
  bool empty() const { return files_.empty(); }
  std::size_t memoryBytes() const;

  friend bool operator==(const SharedLinkTable &, const SharedLinkTable &) = default;

private:
  std::vector<File> files_;
  std::vector<NodeID> names_;
};

} // namespace tarnwick
