#pragma once

#include "TarnwickCore/DirectoryEntrySource.h"

namespace tarnwick {

/// The slower engine for volumes that refuse batch reading (or when the
/// caller forces it): a std::filesystem listing plus one lstat per entry on
/// the full path. An entry whose attributes cannot be read is still
/// reported, with every fact absent (so it becomes an empty file node).
class FileManagerEntrySource final : public DirectoryEntrySource {
public:
  std::unique_ptr<DirectoryEntryReader> makeReader() override;
};

} // namespace tarnwick
