#pragma once

#include "TarnwickCore/Support/MappedBytes.h"
#include "TarnwickCore/Tree/TempTreeNode.h"

#include <cstddef>
#include <span>

namespace tarnwick {

class TempNodeArena;

/// The children of the folder a walker is listing, gathered one at a time
/// until the listing ends and they become one block of the walker's arena.
/// They grow in a mapping that moves its pages rather than copying them, and
/// a wide folder's mapping becomes its block as it stands: the nodes of a
/// folder of a million entries are never held twice.
///
/// Threads: not synchronized; one walker owns it.
class TempNodeStaging {
public:
  /// A new, default-constructed node at the end; references to earlier
  /// nodes do not survive it (they may move).
  TempTreeNode &append();
  std::size_t size() const { return count_; }
  TempTreeNode &operator[](std::size_t index) { return nodes()[index]; }
  /// Forgets the nodes; the room stays for the next folder.
  void clear() { count_ = 0; }
  /// Makes the nodes a block of `arena` (TempNodeArena::takeBlock) and
  /// empties the staging.
  std::span<TempTreeNode> commitTo(TempNodeArena &arena);

private:
  TempTreeNode *nodes() const { return reinterpret_cast<TempTreeNode *>(storage_.data()); }

  MappedBytes storage_;
  std::size_t count_ = 0;
};

} // namespace tarnwick
