#include "TarnwickCore/Tree/TempNodeStaging.h"

#include "TarnwickCore/Tree/TempNodeArena.h"

#include <algorithm>
#include <memory>
#include <type_traits>

namespace tarnwick {
namespace {

static_assert(std::is_trivially_copyable_v<TempTreeNode>, "staged nodes move with their pages");

// Room for this many nodes at first (160 KiB): most folders fit, and the
// mapping is kept from one folder to the next.
constexpr std::size_t initialCapacity = 4096;

} // namespace

TempTreeNode &TempNodeStaging::append() {
  if ((count_ + 1) * sizeof(TempTreeNode) > storage_.size())
    storage_.resize(std::max(initialCapacity * sizeof(TempTreeNode), storage_.size() * 2));
  return *std::construct_at(nodes() + count_++);
}

std::span<TempTreeNode> TempNodeStaging::commitTo(TempNodeArena &arena) {
  const std::span<TempTreeNode> block = arena.takeBlock(storage_, count_);
  count_ = 0;
  return block;
}

} // namespace tarnwick
