#pragma once

#include <cstddef>
#include <utility>

namespace tarnwick {

/// Anonymous private memory, mapped for one owner and unmapped when it is
/// reset or dies: the pages go back to the system at once, which memory
/// from the allocator does not promise (it may keep freed blocks for reuse).
class MappedBytes {
public:
  MappedBytes() = default;
  /// Maps `bytes` (> 0) of zeroed, not yet resident memory; throws
  /// std::bad_alloc when the system refuses.
  explicit MappedBytes(std::size_t bytes);
  MappedBytes(MappedBytes &&other) noexcept
      : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
  MappedBytes &operator=(MappedBytes &&other) noexcept {
    if (this != &other) {
      reset();
      data_ = std::exchange(other.data_, nullptr);
      size_ = std::exchange(other.size_, 0);
    }
    return *this;
  }
  MappedBytes(const MappedBytes &) = delete;
  MappedBytes &operator=(const MappedBytes &) = delete;
  ~MappedBytes() { reset(); }

  std::byte *data() const { return data_; }
  std::size_t size() const { return size_; }
  /// Unmaps the memory (if any); the object is empty afterwards.
  void reset() noexcept;
  /// Makes the mapping `bytes` (> 0) long, keeping what the common part
  /// holds: the pages move, they are not copied, so data() may change.
  /// Maps afresh when empty; throws std::bad_alloc when the system refuses.
  void resize(std::size_t bytes);

private:
  std::byte *data_ = nullptr;
  std::size_t size_ = 0;
};

} // namespace tarnwick
