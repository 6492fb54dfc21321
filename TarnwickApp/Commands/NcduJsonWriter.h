#pragma once

#include "TarnwickCore/Tree/DiskTreeArena.h"

#include <cstdio>

namespace quillane {

/// Writes a scanned tree in the JSON export format read by `ncdu -f` and
/// `gdu -f`: `[1,2,{metadata},[root info, children…]]`, where a directory is
/// an array whose first element is its info object and a file is an object.
/// `dsize` is a file's allocated size (0 for a repeated hard link) and a
/// directory's own blocks (with those of its symbolic links, which are not
/// exported), as ncdu writes it; the readers add up the rest themselves, so
/// ncdu's total is the tree's, `du -s -B1`'s. `mtime` is whole seconds. Names are written byte for byte (only '"', '\' and control
/// characters are escaped), so names that are not valid UTF-8 survive.
///
/// Returns false when writing failed (errno set); the walk is iterative, so
/// depth is bounded only by memory.
bool writeNcduJson(const tarnwick::DiskTreeArena &arena, std::FILE *out);

} // namespace quillane
