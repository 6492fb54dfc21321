#pragma once

#include "TarnwickCore/Tree/DiskTreeArena.h"

#include <cstddef>
#include <cstdio>

namespace quillane {

/// Writes the report of `quillane scan --report-json`: the summary of the
/// scan, the `largest` largest files and the usage by file type, as one
/// JSON document of the schema "quillane-scan-report" version 1 (described
/// in the README). Text that is not UTF-8 (a path, a type) is written with
/// U+FFFD in place of each byte that cannot be decoded. Returns whether the
/// stream took everything.
bool writeScanReportJson(const tarnwick::DiskTreeArena &arena, std::size_t largest, std::FILE *out);

/// Prints, below the summary, the `count` largest files of the tree with
/// their sizes and paths.
void printLargestFiles(const tarnwick::DiskTreeArena &arena, std::size_t count);
/// Prints, below the summary, the usage of the tree by file type.
void printFileTypes(const tarnwick::DiskTreeArena &arena);

} // namespace quillane
