#pragma once

#include <span>

namespace tarnwick {
class SafeCleaningEngine;
class TrashCatalogue;
} // namespace tarnwick

namespace quillane {

class UninterruptibleMoves;

/// `quillane caches [--json]`: the known reclaimable caches of the home
/// folder of `engine` (its projects' build artefacts included), and the
/// user's Trash (`trash`) as one item, largest first, with a total. With
/// `--projects [ROOT...]`: only the artefacts of the projects below the
/// ROOT folders (the home folder when none is named), listed or cleaned
/// alike.
/// `quillane caches --clean [--category TITLE] [--yes]`: moves the items
/// ticked by default (of one category, if given) to the Trash through
/// `engine`, whose file system `moves` is held on a forced exit. The Trash
/// is never ticked by default, so it is never emptied here. Without
/// --yes it lists them and asks on a terminal, and refuses when standard
/// input is not one.
/// Exit status: 0 on success, 1 when something was not moved (or the user
/// declined, or could not be asked), 2 on bad usage, 130 when interrupted.
int runCachesCommand(std::span<char *const> arguments, tarnwick::SafeCleaningEngine &engine,
                     UninterruptibleMoves &moves, const tarnwick::TrashCatalogue &trash);

} // namespace quillane
