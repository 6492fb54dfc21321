#include "TarnwickApp/CommandLine.h"

int main(int argc, char **argv) { return quillane::runCommandLine(argc, argv); }
