#include "TarnwickCore/Tree/LargestFiles.h"

#include "TarnwickCore/Tree/SubtreeWalk.h"

#include <algorithm>
#include <cstdint>

namespace tarnwick {
namespace {

struct Candidate {
  std::int64_t size;
  NodeID id;
};

// The order of the result: larger first, then the lower identifier.
bool comesFirst(const Candidate &a, const Candidate &b) { return a.size != b.size ? a.size > b.size : a.id < b.id; }

} // namespace

std::vector<NodeID> largestFiles(const DiskTreeArena &arena, NodeID folder, std::size_t count) {
  std::vector<NodeID> result;
  if (!arena.isValid(folder) || count == 0)
    return result;
  // A heap whose top is the candidate that would leave first.
  std::vector<Candidate> heap;
  heap.reserve(std::min<std::size_t>(count, 1u << 16));
  const auto offer = [&](NodeID id, const DiskTreeArena::Record &r) {
    if (r.isDirectory || r.allocatedSize <= 0)
      return;
    const Candidate candidate{r.allocatedSize, id};
    if (heap.size() < count) {
      heap.push_back(candidate);
      std::push_heap(heap.begin(), heap.end(), comesFirst);
    } else if (comesFirst(candidate, heap.front())) {
      std::pop_heap(heap.begin(), heap.end(), comesFirst);
      heap.back() = candidate;
      std::push_heap(heap.begin(), heap.end(), comesFirst);
    }
  };
  offer(folder, arena.record(folder));
  forEachNodeBelow(arena, folder, offer);
  std::sort_heap(heap.begin(), heap.end(), comesFirst);
  result.reserve(heap.size());
  for (const Candidate &candidate : heap)
    result.push_back(candidate.id);
  return result;
}

} // namespace tarnwick
