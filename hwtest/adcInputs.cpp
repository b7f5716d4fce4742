#include "adcInputs.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "hwPaths.h"
#include "traceLogFormat.h"
#include "vxLog.h"
#include "vxShell.h"

namespace {
constexpr char kLogModule[] = "devuzeV7";
// The routine the log names: its helpers report as part of it.
constexpr char kLogRoutine[] = "ADCTest";
constexpr int kCmdSize = 256;
constexpr int kCmdCleared = 64;
constexpr int kLineSize = 1024;
constexpr int kLastDirectChannel = tracefmt::kAdcLastDirectChannel;
constexpr int kSkippedChannels = tracefmt::kAdcSkippedChannels;
constexpr int kWindowLow = tracefmt::kAdcLowHundredths;
constexpr int kWindowHigh = tracefmt::kAdcHighHundredths;

void JudgeReading(int channel, int nDatRead, _tag_PortData_& entry) {
    if (nDatRead < tracefmt::kAdcRawMin) {
        RTLOG_FMT_FROM(kLogRoutine, tracefmt::kAdcErrFmt, nDatRead);
        entry.cSta = 0;
        return;
    }
    int nValTmp = AdcHundredthsOfVolt(nDatRead);
    const bool inWindow = nValTmp >= kWindowLow && nValTmp <= kWindowHigh;
    entry.cSta = inWindow ? STA_PASS : 0;
    RTLOG_FMT_FROM(kLogRoutine, tracefmt::kAdcFmt, channel, nDatRead, nValTmp,
                   inWindow ? tracefmt::kLineOk : tracefmt::kLineErr);
}

// A line whose number lies outside int fails its input; the log shows the line as read.
void JudgeLine(int channel, const char* line, _tag_PortData_& entry) {
    int nDatRead = 0;
    if (ReadRawValue(line, nDatRead)) {
        JudgeReading(channel, nDatRead, entry);
        return;
    }
    RTLOG_FMT_FROM(kLogRoutine, tracefmt::kAdcErrTextFmt, static_cast<int>(strcspn(line, "\r\n")),
                   line);
    entry.cSta = 0;
}
}  // namespace

bool ReadRawValue(const char* line, int& nDatRead) {
    errno = 0;
    long long value = strtoll(line, nullptr, 10);
    if (errno == ERANGE || value < INT_MIN || value > INT_MAX) return false;
    nDatRead = static_cast<int>(value);
    return true;
}

int AdcChannelOf(int input) {
    return input <= kLastDirectChannel ? input : input + kSkippedChannels;
}

int AdcHundredthsOfVolt(int nDatRead) {
    double millivolts = static_cast<double>(nDatRead) * 3.3 / tracefmt::kAdcRawMax * 1000.0 + 5.0;
    return static_cast<int>(millivolts) / 10;
}

int ADCTest(uint16_t nCnt, std::vector<_tag_PortData_>& vecPort) {
    for (int i = 0; i < nCnt; ++i) vecPort[i] = _tag_PortData_();
    char cmd[kCmdSize];
    for (int j = 1; j <= nCnt; ++j) {
        int channel = AdcChannelOf(j);
        memset(cmd, 0, kCmdCleared);
        snprintf(cmd, sizeof cmd, tracefmt::kAdcReadFmt, channel);
        RTLOG_FMT_FROM(kLogRoutine, tracefmt::kAdcReadLineFmt, cmd);
        int r =
            ReadCommandLines(cmd, kLineSize, RTLOG_HERE_FROM(kLogRoutine),
                             [&](const char* line) { JudgeLine(channel, line, vecPort[j - 1]); });
        if (r < 0) return -1;
    }
    return 0;
}
