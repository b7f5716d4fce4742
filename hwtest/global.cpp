#include "global.h"

#include <cstring>

#include "hwPaths.h"
#include "vxLog.h"
#include "vxSys.h"

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
    FILE* pipe = Sys().Popen(cmd, "r");
    if (pipe == nullptr) {
        RTLOG("popen %s error!", cmd);
        return -1;
    }
    ForEachLine(pipe, kBufSize, [&](const char* line) {
        strncpy(pszID, line, static_cast<size_t>(nSize));
        pszID[nSize - 1] = '\0';
    });
    Sys().Pclose(pipe);
    return 0;
}
