#pragma once

#include <optional>
#include <string>

namespace quillane {

/// Why no output of ours may be written at `finalPath` (absolute, without
/// links): it would create or replace a file inside a protected location of
/// `home` (keys, wallets, mail and browser profiles; see
/// ProtectedLocations), where a scan's export or a drawing would overwrite
/// or shadow what the user cannot get back. The home is taken both as
/// given and at its real path, since `finalPath` has its links resolved.
/// Nothing when the place is free to write.
///
/// Threads: any; reads only the home's path in the file system.
std::optional<std::string> protectedPlaceRefusal(const std::string &finalPath, const std::string &home);

} // namespace quillane
