#pragma once

#include <cstdio>
#include <string_view>

namespace quillane {

/// Says on standard error why a command ends with the exception being
/// handled, and returns its exit status, 1. Call it only from a catch block.
/// `activity` and `subject` name what was under way ("scanning", "/usr"):
/// "out of memory while scanning /usr", "scanning /usr: cannot start
/// threads: …"; the scanner's own errors carry their context already.
int reportCommandFailure(std::string_view activity, std::string_view subject) noexcept;

/// Says on `err` what is wrong with how the program was called, in one line
/// ("quillane: MESSAGE"), and where the help is: `command`'s help, or the
/// overview's when `command` is empty. Returns the usage error's exit
/// status, 2.
int reportUsageError(std::string_view message, std::string_view command, std::FILE *err = stderr);

} // namespace quillane
