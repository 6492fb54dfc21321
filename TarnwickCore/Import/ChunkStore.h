#pragma once

#include "TarnwickCore/Support/PrefaultPages.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

namespace tarnwick {

/// Trivial items appended in fixed-size chunks (about a megabyte each), so
/// growing never copies what is stored and each chunk can be given back on
/// its own once its items have been copied elsewhere.
///
/// Threads: one owner.
template <typename T>
struct ChunkStore {
  static constexpr std::size_t shift = sizeof(T) == 1 ? 20 : 15;
  static constexpr std::size_t chunkSize = std::size_t{1} << shift;

  std::vector<std::unique_ptr<T[]>> chunks;
  /// Items appended so far.
  std::size_t count = 0;

  void append(const T *items, std::size_t n) {
    while (n > 0) {
      if (count == chunks.size() * chunkSize) {
        chunks.push_back(std::make_unique_for_overwrite<T[]>(chunkSize));
        // From the second chunk on the store is large, and one system call
        // maps a chunk faster than a fault per page; a small store leaves
        // its first chunk's untouched pages unmapped.
        if (chunks.size() > 1)
          prefaultForWriting(chunks.back().get(), chunkSize * sizeof(T));
      }
      const std::size_t at = count & (chunkSize - 1);
      const std::size_t take = std::min(n, chunkSize - at);
      std::copy_n(items, take, chunks.back().get() + at);
      items += take;
      n -= take;
      count += take;
    }
  }
  /// Item `index`, below count, in a chunk not given back yet.
  T &operator[](std::size_t index) { return chunks[index >> shift][index & (chunkSize - 1)]; }
  /// Gives back every chunk wholly below item `end`.
  void releaseBelow(std::size_t end) {
    for (std::size_t chunk = 0; chunk < (end >> shift) && chunk < chunks.size(); ++chunk)
      chunks[chunk].reset();
  }
};

} // namespace tarnwick
