#pragma once

#include "TarnwickCore/Tree/DiskTreeArena.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

/// The space the files of one type take below a folder.
struct FileTypeUsage {
  /// fileTypeOf() of the files' names; empty for names without one.
  std::string type;
  /// Allocated bytes (a hard-linked file counts once, at its carrier).
  std::int64_t allocatedSize = 0;
  std::int64_t fileCount = 0;

  friend bool operator==(const FileTypeUsage &, const FileTypeUsage &) = default;
};

/// The type of a file by its name: the extension after the last dot, in
/// ASCII lower case, or a `tar.` compound ("tar.gz", "tar.zst"...). No type
/// (empty) when there is no dot, when the only dot starts the name
/// (".bashrc"), when it ends the name, or when the extension is longer
/// than 12 bytes or holds anything but ASCII letters, digits, '_', '+' and
/// '-' (so "notes.2024 final" or a hash-named file are not types).
std::string fileTypeOf(std::string_view name);

/// Every file type below `folder` (or of `folder` itself when it is a
/// file), largest first; equal sizes by type. Empty for an invalid
/// identifier. Cost: one pass over the subtree with one hash lookup per
/// file; no disk access. Threads: reads `arena` only.
std::vector<FileTypeUsage> fileTypeUsage(const DiskTreeArena &arena, NodeID folder);

} // namespace tarnwick
