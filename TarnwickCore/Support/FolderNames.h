#pragma once

#include "TarnwickCore/Support/Failure.h"
#include "TarnwickCore/Support/Result.h"

#include <string>
#include <vector>

namespace tarnwick {

/// The names in the open folder `folder`, without "." and "..", in the
/// order the file system lists them; none when `folder` is -1 (absent).
/// `shown` names the folder in the Failure. The folder's own descriptor
/// is left as it was: the listing reads through a descriptor of its own.
Result<std::vector<std::string>> folderNames(int folder, const std::string &shown);

} // namespace tarnwick
