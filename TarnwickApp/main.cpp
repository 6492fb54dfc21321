#include "TarnwickApp/CommandLine.h"
#include "TarnwickApp/GuiHandOver.h"

int main(int argc, char **argv) { return quillane::runCommandLine(argc, argv, quillane::handOverToGui); }
