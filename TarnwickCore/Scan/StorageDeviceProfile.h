#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

/// What the scanner needs to know about the block device under a scan's
/// root to choose how hard to drive it.
///
/// A spinning disk serves one request at a time and pays a seek for each,
/// so many walkers in flight only make it seek more; there the scan runs
/// few walkers and reads each folder's entries in inode order, which on the
/// common Linux file systems follows their place on the disk. Solid-state
/// and network devices, and file systems with no block device (tmpfs,
/// overlay, FUSE), are treated as not rotational.
///
/// Threads: a plain value.
struct StorageDeviceProfile {
  bool rotational = false;

  /// The device `device` (a st_dev) as the kernel describes it under
  /// `sysRoot` (normally "/sys": the device's queue/rotational, or its
  /// whole disk's for a partition). Nothing readable there, or a
  /// paravirtual disk (virtio, Xen), means not rotational.
  static StorageDeviceProfile ofDevice(std::uint64_t device, const std::string &sysRoot = "/sys");

  /// How many walkers a scan asking for `requested` runs on this device.
  int walkerCount(int requested) const { return rotational && requested > rotationalWalkers ? rotationalWalkers : requested; }
  /// Whether each folder's entries are examined in inode order.
  bool inodeOrder() const { return rotational; }

  /// Enough to keep the disk's queue from running dry while one walker
  /// waits on its listing, without turning the walk into random seeks.
  static constexpr int rotationalWalkers = 2;
};

} // namespace tarnwick
