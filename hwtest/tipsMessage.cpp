#include "tipsMessage.h"

#include <termios.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "hwPaths.h"
#include "serialLine.h"
#include "vxSys.h"
#include "vxText.h"

namespace {
constexpr char kMsgPass[] = "AT+OK";
constexpr char kMsgFail[] = "AT+ERR";
constexpr char kAck[] = "OK";
constexpr unsigned kSettleWaitS = 1;

// Formats a message whole, however long the path and reply, and prints it as it stands.
void Print(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void Print(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    fputs(StrVPrintf(fmt, args).c_str(), stdout);
    va_end(args);
    fflush(stdout);
}

// Opens and configures the port; returns its descriptor, or -1 (printed) when that failed.
int OpenTipsPort(const char* path) {
    const int fd = serial::OpenPort(path);
    if (fd < 1) {
        Print("open Port:%s Err!!!", path);
        return -1;
    }
    if (set_opt(fd, 115200, 8, 'n', 1, 'N') < 0) {
        Print("set_opt Port:%s Err!!!", path);
        close(fd);
        return -1;
    }
    return fd;
}

int ReadAck(int fd, const char* path, int iwrite) {
    char szReply[serial::kReplyBufSize];
    memset(szReply, 0, sizeof szReply);
    const int iread = Read(fd, szReply, serial::kReplyLen);
    if (iread <= 1) {
        Print("iwrite:%d iread:%d Err!!!", iwrite, iread);
        return -1;
    }
    Print("%s read:%s", path, szReply);
    if (strstr(szReply, kAck) == nullptr) {
        Print("%s read:%s Err!!!", path, szReply);
        return -1;
    }
    return 0;
}

int SendVerdict(int fd, const char* path, int iTestSta) {
    const char* szMsg = iTestSta == 0 ? kMsgPass : kMsgFail;
    const uint16_t nLen = static_cast<uint16_t>(strlen(szMsg));
    tcflush(fd, TCIOFLUSH);
    const int iwrite = static_cast<int>(Sys().Write(fd, szMsg, nLen));
    if (iwrite < nLen) {
        Print("%s write Err iwrite=%d", path, iwrite);
        return -1;
    }
    Print("%s iwrite:%d write:%s ", path, iwrite, szMsg);
    Sys().Usleep(serial::kReplyWaitUs);
    return ReadAck(fd, path, iwrite);
}
}  // namespace

int MsgToTipsAt(const char* path, int iTestSta) {
    Sys().Sleep(kSettleWaitS);
    Sys().Sleep(kSettleWaitS);
    const int fd = OpenTipsPort(path);
    if (fd < 0) return -1;
    const int iRet = SendVerdict(fd, path, iTestSta);
    close(fd);
    return iRet;
}

int MsgToTips(int iTestSta) { return MsgToTipsAt(hw::kTipsPort, iTestSta); }
