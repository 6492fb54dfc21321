#pragma once

#include "TarnwickCore/Deletion/GuardFileFacts.h"
#include "TarnwickCore/Support/Result.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

/// Acts on one entry of an open folder: moves it to the Trash or removes
/// it, only if it is the `expected` file when one is given. `shownPath` is
/// the entry's full path.
using EntryAction = std::function<Result<void>(int folder, const std::string &name, const std::string &shownPath,
                                               std::optional<FileIdentity> expected)>;

/// What cleaning a folder around its kept entries did.
struct KeptEntryOutcome {
  /// Entries left in place: those with a kept name, and folders that could
  /// not be looked into (they might hold one).
  std::vector<std::string> keptPaths;
  /// Why entries that should have gone did not.
  std::vector<std::string> failures;
};

/// Cleans the folder `name` of the open folder `parent` (at `shownPath`)
/// around the entries whose names are in `keptNames` (lower-case, compared
/// ignoring ASCII case): every other entry goes through `act` whole, the
/// outermost one of each branch, so a sub-folder without kept names is one
/// action. Folders that hold kept entries stay, and are entered. Entries
/// that appear after the folder was looked through are left alone (they
/// were never checked). The walk never follows links or leaves the
/// folder's mount. Calls `act` on the folder itself when it holds no kept
/// entry at all.
/// With `expected`, the folder is cleaned only if it is that file.
/// A Failure when the folder could not be looked into, was not the file
/// expected, or acting on it as a whole failed; failures of single entries
/// inside are the outcome's.
Result<KeptEntryOutcome> cleanAroundKeptEntries(int parent, const std::string &name, const std::string &shownPath,
                                                const std::vector<std::string> &keptNames, const EntryAction &act,
                                                std::optional<FileIdentity> expected = std::nullopt);

} // namespace tarnwick
