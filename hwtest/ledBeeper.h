// LED and beeper test: switches SDO3 (beeper), SDO4 (LED "D3") and SDO5 (LED "D2") off and on,
// checks each switch by reading the output back, then switches both LEDs off by text command.
#pragma once

#include <cstdint>
#include <vector>

#include "portInfo.h"

// Resets entries 0..nLedCnt-1, then entries 0..2 (those the vector holds) gain 3 when the
// off or the on read-back matched and stay as they were otherwise. Returns 0, or -1 when the
// device did not open (nothing switched, entries left as they were, no text command).
int LEDTest(uint16_t nLedCnt, std::vector<_tag_PortData_>& vLedPort);

// The same test with the requests going to the DIO device at `path`; the closing text command
// still goes to the tool's DIO device node, as every text command does.
int LEDTestOn(const char* path, uint16_t nLedCnt, std::vector<_tag_PortData_>& vLedPort);
