#pragma once

#include "TarnwickApp/Commands/CommandSyntax.h"

namespace tarnwick {
class FastBulkScanner;
class FreedesktopTrash;
class FullDiskAccessCoordinator;
class SafeCleaningEngine;
} // namespace tarnwick

namespace quillane {

class UninterruptibleMoves;

/// `quillane trash [--permanent] PATH…`: each path through the deletion
/// guard (as confirmed by the user) to the Trash, or removed for good, by
/// `engine` (whose home folder is the one guarded). `moves` is the file
/// system `engine` cleans with, held on a forced exit; `scanner` measures
/// the folders first. What lies in a trash folder of `trash` is refused in
/// either mode, before it is measured: only emptying the Trash removes it.
/// `quillane trash --list [--json] | --restore PATH… | --empty [--yes]`:
/// the user's Trash, that of `trash` (see TrashContentsCommands.h).
/// Options go first: from the first PATH on, nothing is an option.
/// Exit status: 0 when every path was cleaned, 1 otherwise, 2 on bad usage
/// (said as reportUsageError says it).
int runTrashCommand(const CommandArguments &arguments, tarnwick::SafeCleaningEngine &engine, UninterruptibleMoves &moves,
                    const tarnwick::FastBulkScanner &scanner, const tarnwick::FreedesktopTrash &trash);

/// What `quillane trash` accepts.
const CommandSyntax &trashCommandSyntax();

/// What `quillane access` accepts.
const CommandSyntax &accessCommandSyntax();

/// `quillane access`: the protected-location status by `access`'s probes,
/// and what is read, and why. Exit status 0, 2 on bad usage.
int runAccessCommand(const CommandArguments &arguments, const tarnwick::FullDiskAccessCoordinator &access);

} // namespace quillane
