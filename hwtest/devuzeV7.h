// The run from program entry to exit.
#pragma once

// Returns 0 after a completed run, whatever its verdict; -1 when start-up fails or the result
// document is empty.
int RunDevuzeV7(int argc, char** argv);
