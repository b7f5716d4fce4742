// USB sticks and TF card: are the sticks mounted, is a card present; the beeper alerts.
#pragma once

#include <vector>

#include "portInfo.h"

// Entry 0 passes with exactly one stick found on the first port; entry 1 with two found in
// all. Appends every mount point found to g_USBDEV. Sounds the beeper (8 switchings, 20 with a
// TF card) unless both sticks are there and no card. Returns -1 when a command cannot be
// started, else 0. Always writes entries 0 and 1.
int USBTFTest(int nCnt, std::vector<_tag_PortData_>& vecPort);
