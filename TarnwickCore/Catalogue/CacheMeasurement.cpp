#include "TarnwickCore/Catalogue/CacheMeasurement.h"

#include <algorithm>

namespace tarnwick {

bool CacheMeasurement::occupiesSpace() const {
  return unsharedBytes > 0 || std::ranges::any_of(sharedFiles, [](const SharedFile &file) { return file.bytes > 0; });
}

bool CacheMeasurement::holdsFileData() const {
  return unsharedBytes > folderBytes ||
         std::ranges::any_of(sharedFiles, [](const SharedFile &file) { return file.bytes > 0; });
}

std::int64_t CacheMeasurement::freedBytes() const {
  std::int64_t total = unsharedBytes;
  for (const SharedFile &file : sharedFiles)
    if (file.namesFound >= file.linkCount)
      total += file.bytes;
  return total;
}

} // namespace tarnwick
