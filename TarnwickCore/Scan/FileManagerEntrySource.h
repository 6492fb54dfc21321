#pragma once

#include "TarnwickCore/Scan/DirectoryEntrySource.h"

namespace tarnwick {

/// The slower, portable engine for volumes that refuse batch reading (or
/// when the caller forces it): the C library's directory stream plus one
/// lstat-style fstatat per entry, relative to the directory, so depth is no
/// limit. An entry whose attributes cannot be read carries the error, as
/// with the batch engine, rather than posing as an empty file.
class FileManagerEntrySource final : public DirectoryEntrySource {
public:
  std::unique_ptr<DirectoryEntryReader> makeReader() override;
};

} // namespace tarnwick
