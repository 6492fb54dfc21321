#pragma once

#include <span>

namespace tarnwick {
class SafeCleaningEngine;
class TrashCatalogue;
} // namespace tarnwick

namespace quillane {

class UninterruptibleMoves;

/// `quillane caches [--json]`: the known reclaimable caches of the home
/// folder of `engine`, and the user's Trash (`trash`) as one item, largest
/// first, with a total.
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
