#pragma once

namespace quillane {

/// Dispatches `quillane COMMAND …`. Returns the process exit status: 2 for
/// a usage error, otherwise the command's own.
int runCommandLine(int argc, char **argv);

} // namespace quillane
