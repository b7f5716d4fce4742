#include "discovery.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "hwPaths.h"
#include "vxLog.h"
#include "vxShell.h"
#include "vxSys.h"

namespace {
constexpr char kLogModule[] = "devuzeV7";
// The routine the log names: its helpers report as part of it.
constexpr char kLogRoutine[] = "initPortInfo";
constexpr int kLineSize = 1024;
constexpr int kCmdSize = 256;
constexpr char kConfMode[] = "re";
// A key line must hold more than the key and its line end to list any channel.
constexpr size_t kShortestListLine = 7;

// Runs `cmd` and stores the number of its last output line into `count`.
int ReadCount(const char* cmd, char* cmdBuf, uint16_t& count) {
    memset(cmdBuf, 0, kCmdSize);
    snprintf(cmdBuf, kCmdSize, "%s", cmd);
    return ReadCommandLines(cmdBuf, kLineSize, RTLOG_HERE_FROM(kLogRoutine),
                            [&](const char* line) { count = static_cast<uint16_t>(atoi(line)); });
}

void CountKeyLine(const char* line, const char* keyAt, uint8_t& counter, uint16_t& count) {
    if (strlen(line) > kShortestListLine) {
        counter = 1;
        // Held at 255 rather than wrapped: a list too long to count must not read as a short
        // one (256 entries would count as none and the run would pass without a DIO test).
        for (const char* p = keyAt; *p != '\0'; ++p) {
            if (*p == ',' && counter < UINT8_MAX) ++counter;
        }
    }
    // Stored even when the line was too short to count: a short first key line gives 0, not
    // the count as it was. Wanted so; do not skip the store.
    count = counter;
}
}  // namespace

void CountDioConf(FILE* conf, uint16_t& cntDI, uint16_t& cntDO) {
    uint8_t diCounter = 0;
    uint8_t doCounter = 0;
    ForEachLine(conf, kLineSize, [&](const char* line) {
        if (const char* at = strstr(line, hw::kDioConfDiKey)) {
            CountKeyLine(line, at, diCounter, cntDI);
        } else if (const char* atDo = strstr(line, hw::kDioConfDoKey)) {
            CountKeyLine(line, atDo, doCounter, cntDO);
        }
    });
}

int initPortInfo(_tag_VxPortInfo_* pPortInfo) {
    if (pPortInfo == nullptr) {
        RTLOG_FROM(kLogRoutine, "pPortInfo==NULL error!");
        return -1;
    }
    char cmdBuf[kCmdSize];
    if (ReadCount(hw::kCmdCountRs485, cmdBuf, pPortInfo->cntRS485) < 0) return -1;
    if (ReadCount(hw::kCmdCountRs232, cmdBuf, pPortInfo->cntRS232) < 0) return -1;
    FILE* conf = Sys().Fopen(hw::kDioConf, kConfMode);
    if (conf == nullptr) {
        // Deliberately the text the command buffer still holds (the RS232 command), not the
        // file's name: the log of a board without the file has always read so.
        RTLOG_FROM(kLogRoutine, "popen %s error!", cmdBuf);
        return -1;
    }
    CountDioConf(conf, pPortInfo->cntDI, pPortInfo->cntDO);
    Sys().Fclose(conf);
    return ReadCount(hw::kCmdCountAi, cmdBuf, pPortInfo->cntAI);
}
