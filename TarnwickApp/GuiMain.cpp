#include "TarnwickApp/CommandLine.h"
#include "TarnwickApp/GuiCommands.h"

int main(int argc, char **argv) { return quillane::runCommandLine(argc, argv, quillane::runGuiCommand); }
