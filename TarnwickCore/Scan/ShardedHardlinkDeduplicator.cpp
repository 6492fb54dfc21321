#include "TarnwickCore/Scan/ShardedHardlinkDeduplicator.h"

namespace tarnwick {

std::size_t ShardedHardlinkDeduplicator::KeyHash::operator()(const HardlinkKey &key) const noexcept {
  std::uint64_t h = static_cast<std::uint64_t>(key.dev) * 0x9e3779b97f4a7c15ULL;
  h ^= key.ino + 0x632be59bd9b4e019ULL + (h << 6) + (h >> 2);
  return static_cast<std::size_t>(h);
}

bool ShardedHardlinkDeduplicator::track(std::int64_t dev, std::uint64_t ino) {
  if (ino == 0)
    return true;
  Shard &shard = shards_[ino % shardCount];
  std::lock_guard guard(shard.lock);
  return shard.seen.insert(HardlinkKey{dev, ino}).second;
}

} // namespace tarnwick
