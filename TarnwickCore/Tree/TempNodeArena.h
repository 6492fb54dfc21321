#pragma once

#include "TarnwickCore/Tree/TempTreeNode.h"

#include <cstddef>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace tarnwick {

/// Chunked storage for TempTreeNode blocks and their names, owned by one
/// walker for the length of a scan. Nothing is freed before the arena dies,
/// and nothing it hands out ever moves.
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
  /// A contiguous copy of `nodes`.
  std::span<TempTreeNode> copyBlock(std::span<const TempTreeNode> nodes);
  /// A copy of `name` that lives as long as the arena (at most 65,535 bytes
  /// are kept; longer names are cut).
  std::string_view storeName(std::string_view name);

  std::size_t nodeCount() const { return nodeCount_; }
  std::size_t nameBytes() const { return nameBytes_; }

private:
  /// Room for `count` nodes, not yet constructed.
  TempTreeNode *reserveNodes(std::size_t count);

  struct NodeChunk {
    std::unique_ptr<std::byte[]> storage;
    std::size_t capacity = 0;
    std::size_t used = 0;
  };
  struct NameChunk {
    std::unique_ptr<char[]> bytes;
    std::size_t capacity = 0;
    std::size_t used = 0;
  };

  std::vector<NodeChunk> nodeChunks_;
  std::vector<NameChunk> nameChunks_;
  std::size_t nodeCount_ = 0;
  std::size_t nameBytes_ = 0;
};

} // namespace tarnwick
