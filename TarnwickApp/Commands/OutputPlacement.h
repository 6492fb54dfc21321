#pragma once

#include <optional>
#include <string>

namespace quillane {

/// Why no output of ours may be written at `finalPath` (absolute, without
/// links): it would create or replace a file inside a protected location of
/// `home` (keys, wallets, mail and browser profiles; see
/// ProtectedLocations), where a scan's export or a drawing would overwrite
/// or shadow what the user cannot get back. The home is taken both as
/// given and at its real path, since `finalPath` has its links resolved;
/// a folder on the way that is a protected location under another name (a
/// bind mount) is refused as well.
/// Nothing when the place is free to write.
///
/// Threads: any; reads the file system (the mount table, the protected
/// locations and the folders on the way).
std::optional<std::string> protectedPlaceRefusal(const std::string &finalPath, const std::string &home);

} // namespace quillane
