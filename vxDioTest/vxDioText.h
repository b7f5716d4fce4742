// The DIO device's text commands: "SON=<n>" or "SOFF=<n>" for one system output, "SON=<n>,<m>"
// or "SOFF=<n>,<m>" for two, written to the device node by a shell `echo` through Sys().System.
// The shell's outcome is never examined. Every text command of the tool goes through here.
#pragma once

#include "traceLogFormat.h"

namespace vxdio {
// The device node, which the numbered requests open too.
inline constexpr char kDevice[] = "/dev/vxdio";

// The system outputs wired to the beeper and the two LEDs (the log names them by these numbers).
inline constexpr int kBeeper = tracefmt::kBeeperOutput;
inline constexpr int kLedD3 = tracefmt::kLedD3Output;
inline constexpr int kLedD2 = tracefmt::kLedD2Output;

inline constexpr char kOn[] = "SON";
inline constexpr char kOff[] = "SOFF";
inline constexpr char kCmdSwitchFmt[] = "echo %s=%d > %s";
inline constexpr char kCmdSwitchPairFmt[] = "echo %s=%d,%d > %s";
}  // namespace vxdio

// "echo SON=<output> > /dev/vxdio" or the same with SOFF.
void DioTextSwitch(int output, bool on);
// Both outputs in one command, in the order given: "echo SON=<first>,<second> > /dev/vxdio".
void DioTextSwitchPair(int first, int second, bool on);

// The named outputs.
void DioBeeper(bool on);
// "echo SOFF=4,5 > /dev/vxdio": LED "D3", then "D2".
void DioLedsOff();
