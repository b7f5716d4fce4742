// What the operator sees and hears: the blink timer, the end pattern, the tray message and
// the reaction to SIGINT/SIGTERM.
#pragma once

#include <csignal>
#include <ctime>

extern timer_t timerid;
// Cleared by sig_handler; a running end pattern stops after its current step.
extern volatile sig_atomic_t g_bRun;

// Starts the blink timer: both LEDs switch together every third 100 ms tick. Returns 0.
int startTimer();
// Stops the blink timer and waits for a tick in progress; harmless when already stopped.
// Returns 0.
int endTimer();
// One tick of the blink timer. Ticks run one at a time: a tick that finds another one still
// running (a slow shell) is dropped.
void OnTimer(union sigval value);

// Plays the end pattern for 0 (passed), -1 and -2 (failed); any other value only switches the
// LEDs off. Blocks for about 7 s.
int TestEndTips(int iTestSta);

// Sends one 76-byte message of type 36876 to the queue; nothing when iMsgId is negative.
// Returns 1.
int SendMsgToTray(int iMsgId, int iType, int iValue);

// Handler for SIGINT and SIGTERM (the run does not install it). It only clears g_bRun and
// hands the signal to HandlePendingSignal, which StartSignalWorker runs on a thread of its own
// (the wait, the report and the shell commands are not safe inside a handler).
void sig_handler(int signum);
void StartSignalWorker();
// Does the deferred work of the last signal, if any. Returns true when there was one.
bool HandlePendingSignal();
