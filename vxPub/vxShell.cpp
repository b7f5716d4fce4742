#include "vxShell.h"

#include "vxSys.h"

int ReadCommandLines(const char* command, int lineSize, const LogOrigin& origin,
                     const std::function<void(const char*)>& onLine) {
    FILE* pipe = Sys().Popen(command, "r");
    if (pipe == nullptr) {
        RTLOG_AT(origin, "popen %s error!", command);
        return -1;
    }
    ForEachLine(pipe, lineSize, onLine);
    Sys().Pclose(pipe);
    return 0;
}
