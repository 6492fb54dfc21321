#pragma once

#include "TarnwickCore/Support/MappedBytes.h"
#include "TarnwickCore/Tree/TempTreeNode.h"

#include <cstddef>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace tarnwick {

/// Chunked storage for TempTreeNode blocks and their names, owned by one
/// walker for the length of a scan. Nothing is freed before the arena dies
/// or hands its storage over (takeNodeChunks, takeNameChunks), and nothing
/// it hands out ever moves. Chunks are mapped, not allocated, so that
/// freeing one gives its pages back to the system at once.
///
/// Threads: not synchronized; one owner allocates. Other threads may read
/// and write the nodes once the owner has published them.
class TempNodeArena {
public:
  TempNodeArena() = default;
  TempNodeArena(const TempNodeArena &) = delete;
  TempNodeArena &operator=(const TempNodeArena &) = delete;
  TempNodeArena(TempNodeArena &&) = default;
  TempNodeArena &operator=(TempNodeArena &&) = default;

  /// A block of `count` default-constructed, contiguous nodes.
  std::span<TempTreeNode> allocateBlock(std::size_t count);
  /// Makes the first `count` nodes in `staging` (a TempNodeStaging's
  /// mapping) a block. A block large enough for a chunk of its own takes
  /// the mapping as it stands, leaving `staging` empty; a smaller one is
  /// copied.
  std::span<TempTreeNode> takeBlock(MappedBytes &staging, std::size_t count);
  /// A copy of `name` that lives as long as the arena (at most 65,535 bytes
  /// are kept; longer names are cut).
  std::string_view storeName(std::string_view name);

  std::size_t nodeCount() const { return nodeCount_; }
  std::size_t nameBytes() const { return nameBytes_; }

  /// One piece of storage and how much of it is handed out: nodes in a node
  /// chunk, bytes in a name chunk.
  struct Chunk {
    MappedBytes storage;
    std::size_t used = 0;
  };
  /// Give up the storage of the nodes, or of the names: what the arena handed
  /// out stays valid as long as the returned chunks do. The arena allocates
  /// afresh afterwards.
  std::vector<Chunk> takeNodeChunks();
  std::vector<Chunk> takeNameChunks();

private:
  /// Room for `count` nodes, not yet constructed.
  TempTreeNode *reserveNodes(std::size_t count);

  std::vector<Chunk> nodeChunks_;
  std::vector<Chunk> nameChunks_;
  std::size_t nodeCount_ = 0;
  std::size_t nameBytes_ = 0;
  /// Shared chunks made so far, which sets the next one's size.
  std::size_t nodeChunksMade_ = 0;
  std::size_t nameChunksMade_ = 0;
};

} // namespace tarnwick
