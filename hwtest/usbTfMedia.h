// USB sticks and TF card: are the sticks mounted, is a card present; the beeper alerts.
#pragma once

#include <string>
#include <vector>

#include "portInfo.h"

// Entry 0 passes with exactly one stick found on the first port; entry 1 with two found in
// all. Appends every mount point found to g_USBDEV. Sounds the beeper (8 switchings, 20 with a
// TF card) unless both sticks are there and no card. Returns -1 when a command cannot be
// started, else 0. Always writes entries 0 and 1.
// A line of the stick commands that is not a mount point (IsStickMountPoint) is logged and
// neither counted nor listed.
int USBTFTest(int nCnt, std::vector<_tag_PortData_>& vecPort);

// Whether a stick command's line is a mount point: an absolute path under /run/media/ with no
// ".." part. A mount point holding a blank prints another column of df ("0%") and is not one.
bool IsStickMountPoint(const std::string& line);
