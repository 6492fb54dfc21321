#pragma once

#include <string_view>

namespace quillane {

/// Says on standard error why a command ends with the exception being
/// handled, and returns its exit status, 1. Call it only from a catch block.
/// `activity` and `subject` name what was under way ("scanning", "/usr"):
/// "out of memory while scanning /usr", "scanning /usr: cannot start
/// threads: …"; the scanner's own errors carry their context already.
int reportCommandFailure(std::string_view activity, std::string_view subject) noexcept;

} // namespace quillane
