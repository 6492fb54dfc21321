#pragma once

#include "TarnwickApp/Commands/CommandSyntax.h"
#include "TarnwickCore/Catalogue/CleanableCategory.h"

#include <optional>
#include <string>
#include <vector>

namespace tarnwick {
class SafeCleaningEngine;
class TrashCatalogue;
} // namespace tarnwick

namespace quillane {

class UninterruptibleMoves;

/// Options of `quillane caches` without --system.
struct CachesOptions {
  bool json = false;
  bool clean = false;
  bool yes = false;
  std::optional<tarnwick::CleanableCategory> category;
  /// Only the project artefacts below these folders (the home folder when
  /// --projects names none).
  std::optional<std::vector<std::string>> projectRoots;
};

/// What `quillane caches` accepts, --system and its options included.
const CommandSyntax &cachesCommandSyntax();

/// The options caches' arguments ask for, without --system; the failure
/// says what is wrong with them.
tarnwick::Result<CachesOptions> cachesOptionsFrom(const CommandArguments &arguments);

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
/// declined, or could not be asked), 130 when interrupted.
int runCachesCommand(const CachesOptions &options, tarnwick::SafeCleaningEngine &engine,
                     UninterruptibleMoves &moves, const tarnwick::TrashCatalogue &trash);

} // namespace quillane
