#include "TarnwickCore/Tree/TempArenaDrain.h"

#include "TarnwickCore/Tree/TempNodeArena.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>

namespace tarnwick {

void TempArenaDrain::Pool::add(MappedBytes storage, std::size_t used) {
  const auto begin = reinterpret_cast<std::uintptr_t>(storage.data());
  chunks_.push_back({begin, begin + storage.size(), used, std::move(storage)});
}

// Chunks are mapped in whole when made, and each walker's last is mostly
// unused: the whole release units past `used` go now, before the freeze
// maps the frozen tree, not with the chunk's last node.
void TempArenaDrain::Pool::releaseUnusedTail(const Chunk &chunk) const {
  const std::uintptr_t usedEnd = chunk.begin + unitsHolding(chunk.used) * releaseUnit_;
  if (usedEnd < chunk.end)
    ::madvise(reinterpret_cast<void *>(usedEnd), chunk.end - usedEnd, MADV_DONTNEED);
}

void TempArenaDrain::Pool::seal(std::size_t pagesPerRelease) {
  std::sort(chunks_.begin(), chunks_.end(), [](const Chunk &a, const Chunk &b) { return a.begin < b.begin; });
  consumed_ = std::make_unique<std::atomic<std::size_t>[]>(chunks_.size());
  const long pageSize = ::sysconf(_SC_PAGESIZE);
  releaseUnit_ = static_cast<std::size_t>(pageSize > 0 ? pageSize : 4096) * pagesPerRelease;
  std::size_t pages = 0;
  for (Chunk &chunk : chunks_) {
    if (chunk.used == 0)
      chunk.storage.reset();
    else
      releaseUnusedTail(chunk);
    chunk.firstPage = pages;
    pages += unitsHolding(chunk.used);
  }
  pageConsumed_ = std::make_unique<std::atomic<std::size_t>[]>(pages);
}

std::size_t TempArenaDrain::Pool::find(const void *address) const {
  const auto at = reinterpret_cast<std::uintptr_t>(address);
  auto after = std::upper_bound(chunks_.begin(), chunks_.end(), at,
                                [](std::uintptr_t a, const Chunk &chunk) { return a < chunk.begin; });
  if (after == chunks_.begin() || at >= (after - 1)->end)
    return npos;
  return static_cast<std::size_t>(after - chunks_.begin()) - 1;
}

bool TempArenaDrain::Pool::contains(std::size_t chunk, const void *address) const {
  const auto at = reinterpret_cast<std::uintptr_t>(address);
  return at >= chunks_[chunk].begin && at < chunks_[chunk].end;
}

void TempArenaDrain::Pool::consume(std::size_t chunk, const void *address, std::size_t bytes) {
  const Chunk &owner = chunks_[chunk];
  // Pages first: a page is released by the one reporter that completes it,
  // before that reporter's bytes count towards the chunk, so the chunk is
  // never unmapped (and its addresses reused) under a pending release.
  for (auto at = reinterpret_cast<std::uintptr_t>(address), end = at + bytes; at < end;) {
    const std::size_t page = (at - owner.begin) / releaseUnit_;
    const std::uintptr_t pageBegin = owner.begin + page * releaseUnit_;
    const std::size_t part = std::min<std::uintptr_t>(end, pageBegin + releaseUnit_) - at;
    const std::size_t pageUsed = std::min(releaseUnit_, owner.used - page * releaseUnit_);
    // Never past the chunk's own mapping, which may end inside a unit.
    if (pageConsumed_[owner.firstPage + page].fetch_add(part, std::memory_order_acq_rel) + part == pageUsed)
      ::madvise(reinterpret_cast<void *>(pageBegin), std::min<std::uintptr_t>(releaseUnit_, owner.end - pageBegin),
                MADV_DONTNEED);
    at += part;
  }
  // Exactly one reporter sees the count reach `used`; only it touches the
  // storage, and nobody reads the chunk's contents any more.
  if (consumed_[chunk].fetch_add(bytes, std::memory_order_acq_rel) + bytes == owner.used)
    chunks_[chunk].storage.reset();
}

std::size_t TempArenaDrain::Pool::liveBytes() const {
  std::size_t bytes = 0;
  for (const Chunk &chunk : chunks_)
    bytes += chunk.storage.size();
  return bytes;
}

void TempArenaDrain::take(TempNodeArena &arena) {
  for (TempNodeArena::Chunk &chunk : arena.takeNodeChunks())
    nodes_.add(std::move(chunk.storage), chunk.used * sizeof(TempTreeNode));
  for (TempNodeArena::Chunk &chunk : arena.takeNameChunks())
    names_.add(std::move(chunk.storage), chunk.used);
}

void TempArenaDrain::seal() {
  nodes_.seal(pagesPerRelease_);
  names_.seal(pagesPerRelease_);
}

void TempArenaDrain::consumed(std::span<const TempTreeNode> nodes) {
  if (nodes.empty())
    return;
  // Names first: the nodes' pages may go with the report below. A block's
  // names mostly lie one after another in one chunk: each run of them is
  // reported at once.
  std::size_t chunk = Pool::npos;
  const char *runStart = nullptr;
  std::size_t run = 0;
  for (const TempTreeNode &node : nodes) {
    if (node.nameLength == 0)
      continue;
    if (chunk == Pool::npos || node.nameBytes != runStart + run || !names_.contains(chunk, node.nameBytes)) {
      if (chunk != Pool::npos)
        names_.consume(chunk, runStart, run);
      chunk = names_.find(node.nameBytes);
      runStart = node.nameBytes;
      run = 0;
      if (chunk == Pool::npos)
        continue;
    }
    run += node.nameLength;
  }
  if (chunk != Pool::npos)
    names_.consume(chunk, runStart, run);
  if (std::size_t nodeChunk = nodes_.find(nodes.data()); nodeChunk != Pool::npos)
    nodes_.consume(nodeChunk, nodes.data(), nodes.size_bytes());
}

std::size_t TempArenaDrain::liveBytes() const { return nodes_.liveBytes() + names_.liveBytes(); }

} // namespace tarnwick
