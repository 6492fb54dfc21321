#pragma once

#include "TarnwickCore/Support/MappedBytes.h"
#include "TarnwickCore/Tree/ChildBlockWalk.h"
#include "TarnwickCore/Tree/DiskTreeArena.h"
#include "TarnwickCore/Tree/TempTreeNode.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <stop_token>
#include <string>
#include <vector>

namespace tarnwick {

class TempNodeArena;

/// The storage of the temporary arenas of one tree, freed piece by piece
/// while the freeze copies the tree out: a few pages go back to the system
/// as soon as every node or name byte in them has been copied, and a chunk
/// is unmapped with its last, so that the temporary tree shrinks as fast as
/// the frozen one grows instead of both existing in full. Pages, not whole
/// chunks, because a chunk holds the folders one walker listed, which the
/// freeze's breadth-first order reaches at very different times.
///
/// Threads: take() and seal() on one thread before the freeze; consumed()
/// afterwards from any number of threads, each node reported exactly once.
class TempArenaDrain {
public:
  /// Pages are given back `pagesPerRelease` at a time: each release costs a
  /// system call and a flush of every core's address cache, so a larger
  /// unit copies faster, at the price of up to that much more of the
  /// temporary tree kept resident while partly copied. Sixteen pages (64 KiB
  /// with 4 KiB pages) measured faster than two at the same peak.
  explicit TempArenaDrain(std::size_t pagesPerRelease = 16)
      : pagesPerRelease_(std::max<std::size_t>(1, pagesPerRelease)) {}
  TempArenaDrain(const TempArenaDrain &) = delete;
  TempArenaDrain &operator=(const TempArenaDrain &) = delete;

  /// Takes over the storage of `arena`; its nodes and names stay valid until
  /// consumed() says they have all been copied.
  void take(TempNodeArena &arena);
  /// Ends the taking; chunks holding nothing are freed now.
  void seal();
  /// `nodes`, one contiguous block from the taken arenas, and their names
  /// have been copied and will not be read again. Nodes from elsewhere are
  /// ignored.
  void consumed(std::span<const TempTreeNode> nodes);

  /// Bytes of taken storage not yet unmapped (released pages included).
  std::size_t liveBytes() const;

private:
  /// Chunks of one kind, ordered by address. `used` counts the bytes the
  /// freeze must report before the chunk goes, from its start.
  class Pool {
  public:
    void add(MappedBytes storage, std::size_t used);
    void seal(std::size_t pagesPerRelease);
    /// The chunk holding `address`, or npos.
    std::size_t find(const void *address) const;
    bool contains(std::size_t chunk, const void *address) const;
    /// The `bytes` from `address` on, all in `chunk`, are copied.
    void consume(std::size_t chunk, const void *address, std::size_t bytes);
    std::size_t liveBytes() const;

    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

  private:
    struct Chunk {
      std::uintptr_t begin;
      std::uintptr_t end;
      std::size_t used;
      MappedBytes storage;
      /// Index of its first page's counter in pageConsumed_.
      std::size_t firstPage = 0;
    };
    void releaseUnusedTail(const Chunk &chunk) const;
    /// How many release units the first `bytes` of a chunk span.
    std::size_t unitsHolding(std::size_t bytes) const { return (bytes + releaseUnit_ - 1) / releaseUnit_; }
    std::vector<Chunk> chunks_;
    std::unique_ptr<std::atomic<std::size_t>[]> consumed_;
    std::unique_ptr<std::atomic<std::size_t>[]> pageConsumed_;
    /// The bytes released at once; set by seal().
    std::size_t releaseUnit_ = 4096;
  };

  std::size_t pagesPerRelease_;
  Pool nodes_;
  Pool names_;
};

/// freezeTree() over `blocks` (see DiskTreeArena.h) for a tree whose arenas
/// `drain` has taken: each block is reported as soon as it is copied, so the
/// temporary tree is gone, chunk by chunk, by the time the frozen one is
/// complete. `root` and the blocks' nodes must not be read afterwards.
///
/// One thread copies best here (`threads` = 1): every release interrupts each
/// other core running the process to flush its address cache, which costs
/// more than a second copying thread saves, and a single thread consuming
/// the blocks in order leaves fewer partly copied pages resident.
///
/// Throws ScanCancelledError, with the tree partly drained, once `stop` is
/// requested: the copy looks at it every few hundred blocks.
DiskTreeArena freezeTree(const TempTreeNode &root, const std::vector<ChildBlock> &blocks, std::string rootPath,
                         unsigned threads, ScanReport report, SharedLinkTable sharedLinks, TempArenaDrain &drain,
                         std::stop_token stop = {});

} // namespace tarnwick
