#include "TarnwickCore/Import/ImportedRootLocation.h"

#include <sys/stat.h>

namespace tarnwick {

ImportedRootLocation locateImportedRoot(const std::string &rootPath, std::optional<std::uint64_t> recordedDevice) {
  struct stat status {};
  if (rootPath.empty() || rootPath.front() != '/' || ::stat(rootPath.c_str(), &status) != 0 || !S_ISDIR(status.st_mode))
    return ImportedRootLocation::absent;
  if (recordedDevice && static_cast<std::uint64_t>(status.st_dev) != *recordedDevice)
    return ImportedRootLocation::otherDevice;
  return ImportedRootLocation::here;
}

} // namespace tarnwick
