#include "global.h"

#include <cstdio>
#include <cstring>

#include "hwPaths.h"
#include "vxLog.h"
#include "vxShell.h"

namespace {
constexpr char kLogModule[] = "global";
constexpr int kBufSize = 256;
}  // namespace

char g_szimx6ullID[kChipIdSize];

int Getimx6ullID(char* pszID, int nSize) {
    if (pszID == nullptr || nSize <= 0) return -1;
    char cmd[kBufSize];
    memset(cmd, 0, sizeof cmd);
    snprintf(cmd, sizeof cmd, "%s", hw::kCmdProcessorId);
    RTLOG("%s...", cmd);
    return ReadCommandLines(cmd, kBufSize, RTLOG_HERE(), [&](const char* line) {
        strncpy(pszID, line, static_cast<size_t>(nSize));
        pszID[nSize - 1] = '\0';
    });
}
