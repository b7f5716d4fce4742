#include "vxDioText.h"

#include "vxSys.h"
#include "vxText.h"

namespace {
const char* State(bool on) { return on ? vxdio::kOn : vxdio::kOff; }
}  // namespace

void DioTextSwitch(int output, bool on) {
    Sys().System(StrPrintf(vxdio::kCmdSwitchFmt, State(on), output, vxdio::kDevice).c_str());
}

void DioTextSwitchPair(int first, int second, bool on) {
    Sys().System(
        StrPrintf(vxdio::kCmdSwitchPairFmt, State(on), first, second, vxdio::kDevice).c_str());
}

void DioBeeper(bool on) { DioTextSwitch(vxdio::kBeeper, on); }

void DioLedsOff() { DioTextSwitchPair(vxdio::kLedD3, vxdio::kLedD2, false); }
