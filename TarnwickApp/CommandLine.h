#pragma once

namespace quillane {

/// Dispatches `quillane COMMAND …`. Returns the process exit status: 2 for
/// a usage error, otherwise the command's own; 1, with a message on standard
/// error, for any exception a command lets through. Never throws.
int runCommandLine(int argc, char **argv);

} // namespace quillane
