#pragma once

#include "TarnwickCore/DirectoryEntrySource.h"

#include <string>

namespace tarnwick {

/// The batch engine on Linux: getdents64 into a 131,072-byte buffer, then one
/// statx per entry relative to the directory descriptor, never following a
/// link and never triggering an automount. Symbolic links are recognised
/// from the listing's type and need no statx.
class LinuxBatchEntrySource final : public DirectoryEntrySource {
public:
  std::unique_ptr<DirectoryEntryReader> makeReader() override;
};

/// Opens `path` as a directory without following a link in its last
/// component. Paths longer than PATH_MAX are opened in steps, each relative
/// to the descriptor of an ancestor. Returns -1 (errno set) on failure; the
/// caller owns the descriptor.
int openDirectoryNoFollow(const std::string &path);

} // namespace tarnwick
