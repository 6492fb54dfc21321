#include "TarnwickCore/Tree/TempNodeArena.h"

#include "TarnwickCore/Support/PrefaultPages.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>

namespace tarnwick {
namespace {

constexpr std::size_t nodeChunkCapacity = 4096;
constexpr std::size_t nameChunkCapacity = 256 * 1024;

} // namespace

TempTreeNode *TempNodeArena::reserveNodes(std::size_t count) {
  nodeCount_ += count;
  auto makeChunk = [](std::size_t capacity, std::size_t used) {
    NodeChunk chunk{std::make_unique_for_overwrite<std::byte[]>(capacity * sizeof(TempTreeNode)), capacity, used};
    prefaultForWriting(chunk.storage.get(), capacity * sizeof(TempTreeNode));
    return chunk;
  };
  // A block larger than half a chunk gets a chunk of its own, slotted before
  // the current one so the current one's free room stays usable.
  if (count > nodeChunkCapacity / 2) {
    NodeChunk dedicated = makeChunk(count, count);
    auto *first = reinterpret_cast<TempTreeNode *>(dedicated.storage.get());
    nodeChunks_.insert(nodeChunks_.empty() ? nodeChunks_.end() : nodeChunks_.end() - 1, std::move(dedicated));
    return first;
  }
  if (nodeChunks_.empty() || nodeChunks_.back().capacity - nodeChunks_.back().used < count)
    nodeChunks_.push_back(makeChunk(nodeChunkCapacity, 0));
  NodeChunk &chunk = nodeChunks_.back();
  auto *first = reinterpret_cast<TempTreeNode *>(chunk.storage.get()) + chunk.used;
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

std::span<TempTreeNode> TempNodeArena::copyBlock(std::span<const TempTreeNode> nodes) {
  if (nodes.empty())
    return {};
  TempTreeNode *first = reserveNodes(nodes.size());
  std::uninitialized_copy(nodes.begin(), nodes.end(), first);
  return {first, nodes.size()};
}

std::string_view TempNodeArena::storeName(std::string_view name) {
  name = name.substr(0, std::numeric_limits<std::uint16_t>::max());
  if (name.empty())
    return {};
  nameBytes_ += name.size();
  if (name.size() > nameChunkCapacity / 4) {
    NameChunk dedicated{std::make_unique_for_overwrite<char[]>(name.size()), name.size(), name.size()};
    std::memcpy(dedicated.bytes.get(), name.data(), name.size());
    std::string_view stored(dedicated.bytes.get(), name.size());
    nameChunks_.insert(nameChunks_.empty() ? nameChunks_.end() : nameChunks_.end() - 1,
                       std::move(dedicated));
    return stored;
  }
  if (nameChunks_.empty() || nameChunks_.back().capacity - nameChunks_.back().used < name.size()) {
    nameChunks_.push_back({std::make_unique_for_overwrite<char[]>(nameChunkCapacity), nameChunkCapacity, 0});
    prefaultForWriting(nameChunks_.back().bytes.get(), nameChunkCapacity);
  }
  NameChunk &chunk = nameChunks_.back();
  char *destination = chunk.bytes.get() + chunk.used;
  std::memcpy(destination, name.data(), name.size());
  chunk.used += name.size();
  return {destination, name.size()};
}

} // namespace tarnwick
