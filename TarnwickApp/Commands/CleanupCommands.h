#pragma once

#include <span>

namespace tarnwick {
class FastBulkScanner;
class FullDiskAccessCoordinator;
class SafeCleaningEngine;
class TrashCatalogue;
} // namespace tarnwick

namespace quillane {

class UninterruptibleMoves;

/// `quillane trash [--permanent] PATH…`: each path through the deletion
/// guard (as confirmed by the user) to the Trash, or removed for good, by
/// `engine` (whose home folder is the one guarded). `moves` is the file
/// system `engine` cleans with, held on a forced exit; `scanner` measures
/// the folders first.
/// `quillane trash --list [--json] | --restore PATH… | --empty [--yes]`:
/// the user's Trash through `catalogue` (see TrashContentsCommands.h).
/// Exit status: 0 when every path was cleaned, 1 otherwise, 2 on bad usage.
int runTrashCommand(std::span<char *const> arguments, tarnwick::SafeCleaningEngine &engine, UninterruptibleMoves &moves,
                    const tarnwick::FastBulkScanner &scanner, const tarnwick::TrashCatalogue &catalogue);

/// `quillane access`: the protected-location status by `access`'s probes,
/// and what is read, and why.
int runAccessCommand(std::span<char *const> arguments, const tarnwick::FullDiskAccessCoordinator &access);

} // namespace quillane
