#pragma once

#include <span>

namespace quillane {

/// `quillane trash [--permanent] PATH…`: each path through the deletion
/// guard (as confirmed by the user) to the Trash, or removed for good.
/// Exit status: 0 when every path was cleaned, 1 otherwise, 2 on bad usage.
int runTrashCommand(std::span<char *const> arguments);

/// `quillane access`: the protected-location status and what is read, and why.
int runAccessCommand(std::span<char *const> arguments);

} // namespace quillane
