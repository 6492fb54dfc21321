#pragma once

namespace quillane {

/// Runs, in this process, a command of the command line that needs Qt's GUI
/// modules: `window` or `treemap` (argv[1]), or the window when there is no
/// command at all. A GuiCommandRunner (CommandLine.h). May throw.
int runGuiCommand(int argc, char **argv);

} // namespace quillane
