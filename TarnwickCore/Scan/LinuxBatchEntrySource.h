#pragma once

#include "TarnwickCore/Scan/DirectoryEntrySource.h"


namespace tarnwick {

/// The batch engine on Linux: getdents64 into a 131,072-byte buffer, then one
/// statx per entry relative to the directory descriptor, never following a
/// link and never triggering an automount. Symbolic links are recognised
/// from the listing's type and need no statx.
class LinuxBatchEntrySource final : public DirectoryEntrySource {
public:
  std::unique_ptr<DirectoryEntryReader> makeReader() override;
};

} // namespace tarnwick
