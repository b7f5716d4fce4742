#include "usbTfMedia.h"

#include <cstdlib>
#include <cstring>

#include "hwPaths.h"
#include "traceLogFormat.h"
#include "vxDioText.h"
#include "vxLog.h"
#include "vxShell.h"
#include "vxSys.h"

namespace {
constexpr char kLogModule[] = "devuzeV7";
// The routine the log names: its helpers report as part of it.
constexpr char kLogRoutine[] = "USBTFTest";
constexpr int kCmdSize = 64;
constexpr int kLineSize = 1024;
constexpr int kAlertSwitchings = 8;
constexpr int kAlertSwitchingsWithCard = 20;
constexpr unsigned kAlertStepUs = 600000;

// Runs `command` from a zeroed 64-byte buffer and hands each output line to `onLine`. Returns
// -1 when it cannot start.
int ReadCommand(const char* command, const std::function<void(const char*)>& onLine) {
    char cmd[kCmdSize];
    memset(cmd, 0, sizeof cmd);
    snprintf(cmd, sizeof cmd, "%s", command);
    return ReadCommandLines(cmd, kLineSize, RTLOG_HERE_FROM(kLogRoutine), onLine);
}

// Runs one stick command; each non-empty line is a stick. Returns -1 when it cannot start.
int FindSticks(const char* command, int& nFound) {
    return ReadCommand(command, [&](const char* line) {
        if (line[0] == '\0') return;
        if (!IsStickMountPoint(line)) {
            RTLOG_FROM(kLogRoutine, "USB Dev:%s is no mount point, Err!", line);
            return;
        }
        ++nFound;
        RTLOG_FROM(kLogRoutine, "USB Dev:%s", line);
        g_USBDEV.emplace_back(line);
    });
}

int CountTfCards(int& nCnttmp) {
    RTLOG_FROM(kLogRoutine, "%s...", hw::kCmdTfCount);
    return ReadCommand(hw::kCmdTfCount, [&](const char* line) {
        nCnttmp = atoi(line);
        if (nCnttmp > 0) {
            RTLOG_FMT_FROM(kLogRoutine, tracefmt::kTfCountFmt, nCnttmp);
        } else {
            RTLOG_FROM(kLogRoutine, "%s", tracefmt::kTfNone);
        }
    });
}

// Switches the beeper off and on in turn, ending on.
void SoundAlert(int switchings) {
    bool on = false;
    for (int i = 0; i < switchings; ++i) {
        DioBeeper(on);
        on = !on;
        Sys().Usleep(kAlertStepUs);
    }
}
}  // namespace

bool IsStickMountPoint(const std::string& line) {
    const std::string root = hw::kStickMountRoot;
    if (line.size() <= root.size() || line.compare(0, root.size(), root) != 0) return false;
    const std::string path = line + "/";
    return path.find("/../") == std::string::npos;
}

int USBTFTest(int, std::vector<_tag_PortData_>& vecPort) {
    vecPort[0] = _tag_PortData_();
    vecPort[1] = _tag_PortData_();
    int nFound = 0;
    if (FindSticks(hw::kCmdUsbFirst, nFound) < 0) return -1;
    vecPort[0].cSta = nFound == 1 ? STA_PASS : 0;
    if (FindSticks(hw::kCmdUsbSecond, nFound) < 0) return -1;
    RTLOG_FMT_FROM(kLogRoutine, tracefmt::kUsbCountFmt, nFound);
    vecPort[1].cSta = nFound == 2 ? STA_PASS : 0;
    int nCnttmp = 0;
    if (CountTfCards(nCnttmp) < 0) return -1;
    if (nCnttmp <= 0 && nFound == 2) return 0;
    SoundAlert(nCnttmp > 0 ? kAlertSwitchingsWithCard : kAlertSwitchings);
    return 0;
}
