#pragma once

#include <string>
#include <vector>

namespace tarnwick {
class TrashCatalogue;
} // namespace tarnwick

namespace quillane {

/// `quillane trash --list [--json]`: every item of the user's Trash with its
/// deletion date, size and original path, and the total; with --json, the
/// same as one JSON object (names that are not UTF-8 have U+FFFD for the
/// bytes that are not). Folders that could not be used are noted on stderr.
/// Exit status: 0, or 1 when the output cannot be written.
int runTrashList(const tarnwick::TrashCatalogue &catalogue, bool json);

/// `quillane trash --restore PATH…`: for each PATH, the item trashed last
/// whose original path is PATH (made absolute against the working folder,
/// without resolving links) goes back there. Exit status: 0 when every
/// PATH was restored, 1 otherwise, 130 when interrupted.
int runTrashRestore(const tarnwick::TrashCatalogue &catalogue, const std::vector<std::string> &paths);

/// `quillane trash --empty [--yes]`: lists the Trash, asks on a terminal
/// unless `yes` (and refuses when standard input is not one), then removes
/// every listed item for good. Exit status: 0 when everything listed is
/// gone, 1 otherwise (or declined, or not asked), 130 when interrupted.
int runTrashEmpty(const tarnwick::TrashCatalogue &catalogue, bool yes);

} // namespace quillane
