// devuzeV7-yield's entry point; the subcommands are in the table in subcommands.cpp.
#include "cli/commands.h"

int main(int argc, char** argv) { return yield::RunCommandLine(argc, argv); }
