// The reaction to SIGINT and SIGTERM: the run flag, then the beeper on and the LEDs off.
#pragma once

#include <csignal>

// Cleared by sig_handler; a running end pattern stops after its current step.
extern volatile sig_atomic_t g_bRun;

// Handler for SIGINT and SIGTERM (the run does not install it). It only clears g_bRun and
// hands the signal to HandlePendingSignal, which StartSignalWorker runs on a thread of its own
// (the wait, the report and the shell commands are not safe inside a handler).
void sig_handler(int signum);
void StartSignalWorker();
// Does the deferred work of the last signal, if any. Returns true when there was one.
bool HandlePendingSignal();
