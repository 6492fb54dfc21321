#pragma once

#include <span>

namespace quillane {

/// `quillane caches [--json]`: the known reclaimable caches of the home
/// folder, largest first, with a total.
/// `quillane caches --clean [--category TITLE] [--yes]`: moves the items
/// ticked by default (of one category, if given) to the Trash through the
/// cleaning engine. Without --yes it lists them and asks on a terminal, and
/// refuses when standard input is not one.
/// Exit status: 0 on success, 1 when something was not moved (or the user
/// declined, or could not be asked), 2 on bad usage, 130 when interrupted.
int runCachesCommand(std::span<char *const> arguments);

} // namespace quillane
