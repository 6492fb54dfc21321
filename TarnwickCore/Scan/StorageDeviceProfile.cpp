#include "TarnwickCore/Scan/StorageDeviceProfile.h"

#include <filesystem>
#include <fstream>
#include <sys/sysmacros.h>

namespace tarnwick {
namespace {

// "1" or "0" from a sysfs attribute; nothing when it cannot be read.
int readFlag(const std::string &path) {
  std::ifstream in(path);
  int value = -1;
  return in >> value ? value : -1;
}

} // namespace

StorageDeviceProfile StorageDeviceProfile::ofDevice(std::uint64_t device, const std::string &sysRoot) {
  // Anonymous devices (tmpfs, overlay, FUSE, network file systems) have no
  // entry there, and so read as not rotational.
  const std::string node =
      sysRoot + "/dev/block/" + std::to_string(::major(device)) + ":" + std::to_string(::minor(device));
  // A partition has no queue of its own: the disk holding it is the folder
  // above it once the link is followed, which ".." after the link gives.
  int flag = readFlag(node + "/queue/rotational");
  if (flag < 0)
    flag = readFlag(node + "/../queue/rotational");
  // Paravirtual disks say "rotational" unless the host tells them
  // otherwise, which hosts rarely do, whatever the storage behind them:
  // their flag says nothing, and few walkers would only slow them down.
  std::error_code error;
  const std::string described = std::filesystem::canonical(node, error).string();
  if (described.find("/virtio") != std::string::npos || described.find("/vbd-") != std::string::npos)
    return {};
  return {flag == 1};
}

} // namespace tarnwick
