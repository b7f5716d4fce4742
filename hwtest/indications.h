// What the operator sees and hears: the blink timer, the end pattern and the tray message. The
// reaction to SIGINT/SIGTERM is in signals.h.
#pragma once

#include <csignal>
#include <ctime>

extern timer_t timerid;

// Starts the blink timer: both LEDs switch together every third 100 ms tick. Returns 0.
int startTimer();
// Stops the blink timer and waits for a tick in progress; harmless when already stopped.
// Returns 0.
int endTimer();
// One tick of the blink timer. Ticks run one at a time: a tick that finds another one still
// running (a slow shell) is dropped.
void OnTimer(union sigval value);

// Plays the end pattern for 0 (passed), -1 and -2 (failed); any other value only switches the
// LEDs off. Blocks for about 7 s; stops after the current step once g_bRun (signals.h) is 0.
int TestEndTips(int iTestSta);

// Sends one 76-byte message of type 36876 to the queue; nothing when iMsgId is negative.
// Returns 1.
int SendMsgToTray(int iMsgId, int iType, int iValue);
