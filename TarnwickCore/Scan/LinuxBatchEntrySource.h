#pragma once

#include "TarnwickCore/Scan/DirectoryEntrySource.h"


namespace tarnwick {

/// The batch engine on Linux: getdents64 into a 32 KiB buffer, then one
/// statx per entry relative to the directory descriptor, never following a
/// link and never triggering an automount.
class LinuxBatchEntrySource final : public DirectoryEntrySource {
public:
  /// The order in which a batch's entries are examined, and reported.
  enum class EntryOrder {
    /// As the listing gives them: no sorting, the fastest when the inodes
    /// are cached or the device does not seek.
    listing,
    /// By inode number, so a spinning disk reads the inode tables in one
    /// sweep instead of seeking back and forth.
    inode,
  };

  explicit LinuxBatchEntrySource(EntryOrder order = EntryOrder::listing) : order_(order) {}
  std::unique_ptr<DirectoryEntryReader> makeReader() override;

private:
  EntryOrder order_;
};

} // namespace tarnwick
