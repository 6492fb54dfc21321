#pragma once

#include <vector>

namespace quillane {

class CommandSyntax;

/// Every command's syntax, in the order the overview lists them.
std::vector<const CommandSyntax *> commandSyntaxes();

/// Dispatches `quillane COMMAND …`. Returns the process exit status: 0
/// after printing help (`quillane --help`, `quillane COMMAND --help`); 2
/// for a usage error, said in one line with where the help is; otherwise
/// the command's own; 1, with a message on standard
/// error, for any exception a command lets through. Never throws.
int runCommandLine(int argc, char **argv);

} // namespace quillane
