// The run's verdict sent to the fixture's AT device on the tips port.
#pragma once

// Waits 2 s, then sends "AT+OK" (iTestSta 0) or "AT+ERR" (any other value) on /dev/RS232-5 and
// expects a reply holding "OK". Reports on standard output only, each message without a line end.
// Returns 0 when acknowledged, -1 when the port was unusable or the acknowledgement missing.
int MsgToTips(int iTestSta);

// The same on the port at `path`.
int MsgToTipsAt(const char* path, int iTestSta);
