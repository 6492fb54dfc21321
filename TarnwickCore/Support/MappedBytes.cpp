#include "TarnwickCore/Support/MappedBytes.h"

#include <new>
#include <sys/mman.h>

namespace tarnwick {

MappedBytes::MappedBytes(std::size_t bytes) {
  void *mapped = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED)
    throw std::bad_alloc();
  data_ = static_cast<std::byte *>(mapped);
  size_ = bytes;
}

void MappedBytes::resize(std::size_t bytes) {
  if (!data_) {
    *this = MappedBytes(bytes);
    return;
  }
  void *moved = ::mremap(data_, size_, bytes, MREMAP_MAYMOVE);
  if (moved == MAP_FAILED)
    throw std::bad_alloc();
  data_ = static_cast<std::byte *>(moved);
  size_ = bytes;
}

void MappedBytes::reset() noexcept {
  if (data_)
    ::munmap(data_, size_);
  data_ = nullptr;
  size_ = 0;
}

} // namespace tarnwick
