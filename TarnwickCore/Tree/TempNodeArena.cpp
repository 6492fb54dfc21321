#include "TarnwickCore/Tree/TempNodeArena.h"

#include "TarnwickCore/Support/PrefaultPages.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

namespace tarnwick {
namespace {

// The first chunks' sizes. Later chunks double, up to four times these:
// a small scan, or a walker that lists little, wastes little at the end of
// its last chunk, and a large scan maps (and unmaps, when its tree goes)
// few chunks, each change of the mappings interrupting every core that runs
// the process. Blocks above half the first size get a chunk of their own.
constexpr std::size_t nodeChunkCapacity = 1024;
constexpr std::size_t nameChunkCapacity = 64 * 1024;

bool needsOwnChunk(std::size_t nodes) { return nodes > nodeChunkCapacity / 2; }

// The size of the chunk made after `made` others, from the first's.
std::size_t grownChunk(std::size_t first, std::size_t made) { return first << std::min<std::size_t>(made, 2); }

TempNodeArena::Chunk makeChunk(std::size_t bytes, std::size_t used) {
  TempNodeArena::Chunk chunk{MappedBytes(bytes), used};
  prefaultForWriting(chunk.storage.data(), bytes);
  return chunk;
}

// Puts a chunk of its own before the current one, whose free room stays
// usable; returns its storage.
std::byte *insertDedicated(std::vector<TempNodeArena::Chunk> &chunks, TempNodeArena::Chunk dedicated) {
  std::byte *storage = dedicated.storage.data();
  chunks.insert(chunks.empty() ? chunks.end() : chunks.end() - 1, std::move(dedicated));
  return storage;
}

// A dedicated chunk may be the last one (when it came first): it is full.
std::size_t freeNodes(const TempNodeArena::Chunk &chunk) {
  return chunk.storage.size() / sizeof(TempTreeNode) - chunk.used;
}

} // namespace

TempTreeNode *TempNodeArena::reserveNodes(std::size_t count) {
  nodeCount_ += count;
  if (needsOwnChunk(count))
    return reinterpret_cast<TempTreeNode *>(
        insertDedicated(nodeChunks_, makeChunk(count * sizeof(TempTreeNode), count)));
  if (nodeChunks_.empty() || freeNodes(nodeChunks_.back()) < count)
    nodeChunks_.push_back(makeChunk(grownChunk(nodeChunkCapacity, nodeChunksMade_++) * sizeof(TempTreeNode), 0));
  Chunk &chunk = nodeChunks_.back();
  auto *first = reinterpret_cast<TempTreeNode *>(chunk.storage.data()) + chunk.used;
  chunk.used += count;
  return first;
}

std::span<TempTreeNode> TempNodeArena::allocateBlock(std::size_t count) {
  if (count == 0)
    return {};
  TempTreeNode *first = reserveNodes(count);
  std::uninitialized_value_construct_n(first, count);
  return {first, count};
}

std::span<TempTreeNode> TempNodeArena::takeBlock(MappedBytes &staging, std::size_t count) {
  auto *staged = reinterpret_cast<TempTreeNode *>(staging.data());
  if (count == 0)
    return {};
  if (!needsOwnChunk(count)) {
    TempTreeNode *first = reserveNodes(count);
    std::uninitialized_copy_n(staged, count, first);
    return {first, count};
  }
  // The pages past the block's last one are not kept.
  if (const std::size_t bytes = count * sizeof(TempTreeNode); bytes < staging.size())
    staging.resize(bytes);
  nodeCount_ += count;
  staged = reinterpret_cast<TempTreeNode *>(insertDedicated(nodeChunks_, Chunk{std::move(staging), count}));
  return {staged, count};
}

std::string_view TempNodeArena::storeName(std::string_view name) {
  name = name.substr(0, std::numeric_limits<std::uint16_t>::max());
  if (name.empty())
    return {};
  nameBytes_ += name.size();
  char *destination;
  if (name.size() > nameChunkCapacity / 4) {
    destination = reinterpret_cast<char *>(insertDedicated(nameChunks_, Chunk{MappedBytes(name.size()), name.size()}));
  } else {
    if (nameChunks_.empty() || nameChunks_.back().storage.size() - nameChunks_.back().used < name.size())
      nameChunks_.push_back(makeChunk(grownChunk(nameChunkCapacity, nameChunksMade_++), 0));
    Chunk &chunk = nameChunks_.back();
    destination = reinterpret_cast<char *>(chunk.storage.data()) + chunk.used;
    chunk.used += name.size();
  }
  std::memcpy(destination, name.data(), name.size());
  return {destination, name.size()};
}

std::vector<TempNodeArena::Chunk> TempNodeArena::takeNodeChunks() { return std::exchange(nodeChunks_, {}); }

std::vector<TempNodeArena::Chunk> TempNodeArena::takeNameChunks() { return std::exchange(nameChunks_, {}); }

} // namespace tarnwick
