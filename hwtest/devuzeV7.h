// The run from program entry to exit.
#pragma once

// Returns 0 after a completed run, whatever its verdict; -1 when start-up fails (port discovery).
// The result document always has its header, so there is no empty-document road.
int RunDevuzeV7(int argc, char** argv);
