#pragma once

namespace quillane {

/// Replaces this process with quillane-gui, the command line with Qt's GUI
/// modules, given the same arguments (argv[0] included, so its messages name
/// the program the user ran); the process keeps its pid, descriptors, signal
/// dispositions and environment. It is looked for beside this executable
/// (a build tree), then where the installation puts it relative to the bin
/// folder. Returns only when neither starts: 1, having said so on standard
/// error. A GuiCommandRunner (CommandLine.h).
int handOverToGui(int argc, char **argv);

} // namespace quillane
