#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <unordered_set>

namespace tarnwick {

/// A file's identity: device (major and minor combined) and inode number.
struct HardlinkKey {
  std::int64_t dev = 0;
  std::uint64_t ino = 0;
  friend bool operator==(const HardlinkKey &, const HardlinkKey &) = default;
};

/// The set of files already counted in one scan, split 64 ways by inode so
/// walkers rarely contend. It only grows.
///
/// Threads: track() is safe from any thread; each shard has its own lock and
/// no call holds two.
class ShardedHardlinkDeduplicator {
public:
  static constexpr std::size_t shardCount = 64;

  ShardedHardlinkDeduplicator() = default;
  ShardedHardlinkDeduplicator(const ShardedHardlinkDeduplicator &) = delete;
  ShardedHardlinkDeduplicator &operator=(const ShardedHardlinkDeduplicator &) = delete;

  /// True the first time (dev, ino) is seen, false afterwards. A file
  /// without identity (ino 0) is always new and never recorded.
  bool track(std::int64_t dev, std::uint64_t ino);

private:
  struct KeyHash {
    std::size_t operator()(const HardlinkKey &key) const noexcept;
  };
  struct alignas(64) Shard {
    std::mutex lock;
    std::unordered_set<HardlinkKey, KeyHash> seen; // guarded by lock
  };

  std::array<Shard, shardCount> shards_;
};

} // namespace tarnwick
