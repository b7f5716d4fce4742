#include "rs232Loopback.h"

#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "hwPaths.h"
#include "serialLine.h"
#include "thSensor.h"
#include "vxLog.h"
#include "vxSys.h"

const char msgsend[tracefmt::kLoopBackBytes] = "ABCDEFGHIJKLMNOPQRST1234567890!";
char msgrecv[256 + 1];

namespace {
constexpr char kLogModule[] = "devuzeV7";
// The routine the log names: its helpers report as part of it.
constexpr char kLogRoutine[] = "RS232Test";
constexpr uint16_t kMsgLen = sizeof msgsend;
constexpr int kRecvLen = 256;
constexpr unsigned kEchoWaitUs = 300000;
constexpr int kSensorIndex = 4;
constexpr int kPathSize = 256;

// One port of a pair: its entry and its number (index + 1) for the log.
struct Side {
    _tag_PortData_& port;
    int num;
};

void PortPath(char* out, const char* pathFmt, int num) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    snprintf(out, kPathSize, pathFmt, num);
#pragma GCC diagnostic pop
}

void SetBits(_tag_PortData_& port, uint8_t clear, uint8_t set) {
    port.cSta = static_cast<uint8_t>((port.cSta & ~clear) | set);
}

// Opens and configures one port; returns its descriptor, or 0 (logged) when that failed.
int OpenConfigured(const char* path) {
    const int fd = serial::OpenPort(path);
    if (fd < 1) {
        RTLOG_FMT_FROM(kLogRoutine, tracefmt::kOpenPortErrFmt, path);
        return 0;
    }
    if (set_opt(fd, 115200, 8, 'n', 1, 'N') < 0) {
        RTLOG_FMT_FROM(kLogRoutine, tracefmt::kSetOptErrFmt, path);
        close(fd);
        return 0;
    }
    return fd;
}

int SendPattern(int fd) {
    tcflush(fd, TCIOFLUSH);
    return static_cast<int>(Sys().Write(fd, msgsend, kMsgLen));
}

int ReadMessage(int fd) {
    memset(msgrecv, 0, sizeof msgrecv);
    return Read(fd, msgrecv, kRecvLen);
}

// msgrecv always ends in a zero byte, so the comparison never runs past it.
bool PatternReceived() { return strcmp(msgrecv, msgsend) == 0; }

// The sender reads its own line; hearing its message back is an error.
void CheckOwnEcho(Side& sender, uint8_t clearOnEcho) {
    const int iread = ReadMessage(sender.port.fdPort);
    if (PatternReceived()) {
        SetBits(sender.port, clearOnEcho, STA_RECV_ERR);
        RTLOG_FMT_FROM(kLogRoutine, tracefmt::kPairReadErrFmt, sender.num, msgsend, sender.num,
                       iread, msgrecv);
    } else {
        RTLOG_FMT_FROM(kLogRoutine, tracefmt::kOwnReadFmt, sender.num, msgsend, sender.num, iread,
                       msgrecv);
    }
}

void CheckPartner(const Side& sender, Side& receiver) {
    const int iread = ReadMessage(receiver.port.fdPort);
    if (PatternReceived()) {
        RTLOG_FMT_FROM(kLogRoutine, tracefmt::kPairReadOkFmt, sender.num, msgsend, receiver.num,
                       iread, msgrecv);
        SetBits(receiver.port, STA_RECV_ERR, STA_RECV_OK);
    } else {
        SetBits(receiver.port, STA_RECV_OK, STA_RECV_ERR);
        RTLOG_FMT_FROM(kLogRoutine, tracefmt::kPairReadErrFmt, sender.num, msgsend, receiver.num,
                       iread, msgrecv);
    }
}

// A sends, reads itself, then B reads. Returns false when the exchange ends there.
bool FirstHalf(Side& a, Side& b) {
    const int iwrite = SendPattern(a.port.fdPort);
    if (iwrite < kMsgLen) {
        SetBits(a.port, STA_SEND_OK, STA_SEND_ERR);
        RTLOG_FMT_FROM(kLogRoutine, tracefmt::kPairSendErrFmt, a.num, msgsend, iwrite);
        return false;
    }
    SetBits(a.port, STA_SEND_ERR, STA_SEND_OK);
    Sys().Usleep(kEchoWaitUs);
    CheckOwnEcho(a, STA_RECV_OK);
    if (b.port.fdPort == 0) return false;
    CheckPartner(a, b);
    return true;
}

// B sends, reads itself, then A reads. B hearing itself loses its send bit, not its receive bit.
void SecondHalf(Side& a, Side& b) {
    const int iwrite = SendPattern(b.port.fdPort);
    if (iwrite < kMsgLen) {
        SetBits(b.port, STA_SEND_OK, STA_SEND_ERR);
        RTLOG_FMT_FROM(kLogRoutine, tracefmt::kPartnerSendErrFmt, b.num, msgsend, iwrite);
        return;
    }
    SetBits(b.port, STA_SEND_ERR, STA_SEND_OK);
    Sys().Usleep(kEchoWaitUs);
    CheckOwnEcho(b, STA_SEND_OK);
    CheckPartner(b, a);
}

void ExchangePair(std::vector<_tag_PortData_>& vecPort, int first, int nCnt) {
    if (first + 1 >= nCnt) {
        RTLOG_FMT_FROM(kLogRoutine, tracefmt::kNoPartnerFmt, first + 1);
        return;
    }
    if (vecPort[first].fdPort == 0) return;
    Side a{vecPort[first], first + 1};
    Side b{vecPort[first + 1], first + 2};
    if (FirstHalf(a, b)) SecondHalf(a, b);
}

void SensorStep(const char* pathFmt, _tag_PortData_& port, int& iRet) {
    if (port.fdPort == 0) return;
    char path[kPathSize] = {0};
    PortPath(path, pathFmt, kSensorIndex + 1);
    iRet = THSensorTest(port, path);
}

// Every port starts the cycle from cSta 0; the result tells whether the last port opened.
int OpenPhase(const char* pathFmt, int nCnt, std::vector<_tag_PortData_>& vecPort) {
    int iRet = 0;
    for (int i = 0; i < nCnt; ++i) {
        char path[kPathSize] = {0};
        PortPath(path, pathFmt, i + 1);
        vecPort[i].fdPort = OpenConfigured(path);
        vecPort[i].cSta = 0;
        iRet = vecPort[i].fdPort == 0 ? -1 : 0;
    }
    return iRet;
}

// Steps 0, 2, 4, ...: step 4 is the sensor port, step 6 pairs ports 6 and 7, every other step k
// pairs k+1 and k+2. Port 8 belongs to no step.
void TestPhase(const char* pathFmt, int nCnt, std::vector<_tag_PortData_>& vecPort, int& iRet) {
    for (int step = 0; step < nCnt; step += 2) {
        if (step == kSensorIndex) {
            SensorStep(pathFmt, vecPort[kSensorIndex], iRet);
        } else {
            ExchangePair(vecPort, step == 6 ? 5 : step, nCnt);
        }
    }
}

void ClosePhase(int nCnt, std::vector<_tag_PortData_>& vecPort) {
    for (int i = 0; i < nCnt; ++i) {
        if (vecPort[i].fdPort != 0) close(vecPort[i].fdPort);
        vecPort[i].fdPort = 0;
    }
}

int TestSinglePort(const char* pathFmt, _tag_PortData_& entry) {
    char path[kPathSize] = {0};
    PortPath(path, pathFmt, 1);
    _tag_PortData_ fresh;
    fresh.fdPort = OpenConfigured(path);
    int iRet = -1;
    if (fresh.fdPort != 0) {
        iRet = THSensorTest(fresh, path);
        close(fresh.fdPort);
    }
    entry.fdPort = 0;
    entry.cSta = fresh.cSta;
    return iRet;
}
}  // namespace

int RS232TestAt(const char* pathFmt, uint16_t nCnt, std::vector<_tag_PortData_>& vecPort) {
    const int n = std::min<int>(nCnt, static_cast<int>(vecPort.size()));
    if (n == 0) return 0;
    if (n == 1) return TestSinglePort(pathFmt, vecPort[0]);
    int iRet = OpenPhase(pathFmt, n, vecPort);
    TestPhase(pathFmt, n, vecPort, iRet);
    ClosePhase(n, vecPort);
    return iRet;
}

int RS232Test(uint16_t nCnt, std::vector<_tag_PortData_>& vecPort) {
    return RS232TestAt(hw::kRs232PathFmt, nCnt, vecPort);
}
