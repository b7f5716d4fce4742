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
    char line[kBufSize];
    memset(cmd, 0, sizeof cmd);
    memset(line, 0, sizeof line);
    snprintf(cmd, sizeof cmd, "%s", hw::kCmdProcessorId);
    RTLOG("%s...", cmd);
    FILE* pipe = Sys().Popen(cmd, "r");
    if (pipe == nullptr) {
        RTLOG("popen %s error!", cmd);
        return -1;
    }
    memset(line, 0, sizeof line);
    while (fgets(line, sizeof line, pipe) != nullptr) {
        strncpy(pszID, line, static_cast<size_t>(nSize));
        pszID[nSize - 1] = '\0';
        memset(line, 0, sizeof line);
    }
    Sys().Pclose(pipe);
    return 0;
}
