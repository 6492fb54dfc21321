// Input: mountinfo text as the kernel might print it, or any bytes.

#include "TarnwickCore/Support/MountTable.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char *>(data), size);
  const tarnwick::MountTable table = tarnwick::MountTable::parse(text);
  for (const tarnwick::MountEntry &entry : table.entries()) {
    // Only absolute mount points are kept, and decoding never lengthens.
    if (entry.mountPoint.empty() || entry.mountPoint.front() != '/' || entry.mountPoint.size() > size)
      std::abort();
    if (table.byId(entry.mountId) == nullptr)
      std::abort();
    const auto found = table.mountPointAtOrBelow(entry.mountPoint);
    if (!found || found->size() > entry.mountPoint.size())
      std::abort();
    // Every mount point lies in some mount: the same file system's place.
    const auto where = table.locate(entry.mountPoint);
    if (!where || where->path.empty() || where->path.front() != '/')
      std::abort();
    // The first place is where it lies; union layers add more, a bounded few.
    const auto places = table.placesOf(entry.mountPoint, entry.mountId);
    if (places.empty() || !(places.front() == *table.locate(entry.mountPoint, entry.mountId)))
      std::abort();
  }
  table.mountPointAtOrBelow(std::string_view(reinterpret_cast<const char *>(data), size / 2));
  return 0;
}
