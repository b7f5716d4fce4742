// Serial loop-back test of the RS232 ports, wired in pairs by the fixture; the unpaired port
// carries the temperature/humidity sensor.
#pragma once

#include <cstdint>
#include <vector>

#include "portInfo.h"
#include "traceLogFormat.h"

// The test pattern: 31 characters and the zero byte, all 32 bytes go on the line.
extern const char msgsend[tracefmt::kLoopBackBytes];
// Receive buffer of every read of the test: 256 bytes, and a zero byte after them so the
// contents always read as a text.
extern char msgrecv[256 + 1];

// Tests ports /dev/RS232-1 .. /dev/RS232-<nCnt> (entries 0 .. nCnt-1 of `vecPort`): pairs
// (1,2), (3,4), (6,7), (9,10), ... exchange the pattern; port 5 (or the only port of a one-port
// board) gets THSensorTest. Every entry below nCnt starts at cSta 0 and ends with fdPort 0.
// Returns the sensor test's result when it ran, else 0 when the last port opened, -1 when not.
int RS232Test(uint16_t nCnt, std::vector<_tag_PortData_>& vecPort);

// The same on the ports named by `pathFmt` (one "%d", the port number from 1).
int RS232TestAt(const char* pathFmt, uint16_t nCnt, std::vector<_tag_PortData_>& vecPort);
