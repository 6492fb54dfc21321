#include "TarnwickCore/Support/PrefaultPages.h"

#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

namespace tarnwick {

void prefaultForWriting(void *start, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
  static const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  auto first = (reinterpret_cast<std::uintptr_t>(start) + page - 1) & ~(page - 1);
  auto last = (reinterpret_cast<std::uintptr_t>(start) + bytes) & ~(page - 1);
  if (last > first)
    ::madvise(reinterpret_cast<void *>(first), last - first, MADV_POPULATE_WRITE);
#else
  (void)start;
  (void)bytes;
#endif
}

} // namespace tarnwick
