#pragma once

#include "TarnwickCore/Scan/DirectoryEntrySource.h"

namespace tarnwick {

#ifdef __APPLE__

/// Reads directories with getattrlistbulk(), which returns names and
/// attributes together, a buffer-full per call. Symlinks are described, not
/// followed. Volumes without bulk support report BatchStatus::unsupported
/// so the scanner can fall back to another source.
class DarwinBulkEntrySource final : public DirectoryEntrySource {
public:
  std::unique_ptr<DirectoryEntryReader> makeReader() override;
};

#endif

} // namespace tarnwick
