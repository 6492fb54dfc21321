#pragma once

#include <functional>
#include <span>
#include <vector>

namespace quillane {

class CommandArguments;
class CommandSyntax;

/// Every command's syntax, in the order the overview lists them.
std::vector<const CommandSyntax *> commandSyntaxes();

/// What `quillane window` accepts.
const CommandSyntax &windowCommandSyntax();

/// Whether a display server is there to show the window on.
bool hasDisplay();

/// Runs a command that needs Qt's GUI modules (`window`, `treemap`, or no
/// command at all when there is a display to open the window on), given the
/// whole command line; returns its exit status. May throw.
using GuiCommandRunner = int (*)(int argc, char **argv);

/// Parses the arguments after `syntax`'s command name and runs `run` with
/// them. Instead prints the help and returns 0 (1 when standard output
/// fails) for --help, and says what is wrong and returns 2 for a usage error.
int runParsedCommand(const CommandSyntax &syntax, std::span<char *const> arguments,
                     const std::function<int(const CommandArguments &)> &run);

/// Dispatches `quillane COMMAND …`, handing the commands that need Qt's
/// GUI modules to `gui`. Returns the process exit status: 0 after printing
/// help (`quillane --help`, `quillane COMMAND --help`); 2 for a usage error,
/// said in one line with where the help is; otherwise the command's own;
/// 1, with a message on standard error, for any exception a command lets
/// through. Never throws.
int runCommandLine(int argc, char **argv, GuiCommandRunner gui);

} // namespace quillane
