#include "thSensor.h"

#include <termios.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "serialLine.h"
#include "traceLogFormat.h"
#include "vxLog.h"
#include "vxSys.h"

namespace {
constexpr char kLogModule[] = "devuzeV7";
// The routine the log names: its helpers report as part of it.
constexpr char kLogRoutine[] = "THSensorTest";
constexpr char kProbe[] = "AT";
constexpr char kAck[] = "OK";

// Sends the probe; returns the write result and sets STA_SEND_ERR when it fell short.
int SendProbe(_tag_PortData_& stPort, const char* szPath, int& iRet) {
    char szMsgRec[serial::kReplyLen];
    memset(szMsgRec, 0, sizeof szMsgRec);
    strcpy(szMsgRec, kProbe);
    const uint16_t nLen = static_cast<uint16_t>(strlen(szMsgRec));
    tcflush(stPort.fdPort, TCIOFLUSH);
    const int iwrite = static_cast<int>(Sys().Write(stPort.fdPort, szMsgRec, nLen));
    if (iwrite < nLen) {
        stPort.cSta |= STA_SEND_ERR;
        RTLOG_FMT_FROM(kLogRoutine, tracefmt::kAtSendErrFmt, szPath, iwrite);
        iRet = -1;
    } else {
        RTLOG_FMT_FROM(kLogRoutine, tracefmt::kAtSendFmt, szPath, iwrite, szMsgRec,
                       static_cast<unsigned char>(szMsgRec[0]),
                       static_cast<unsigned char>(szMsgRec[1]));
    }
    return iwrite;
}

// Reads and judges the reply; sets iRet to -1 when it is missing or holds no acknowledgement.
void CheckReply(int fd, const char* szPath, int iwrite, int& iRet) {
    char szReply[serial::kReplyBufSize];
    memset(szReply, 0, sizeof szReply);
    const int iread = Read(fd, szReply, serial::kReplyLen);
    if (iread <= 1) {
        RTLOG_FMT_FROM(kLogRoutine, tracefmt::kAtNoAnswerFmt, iwrite, iread);
        iRet = -1;
        return;
    }
    RTLOG_FMT_FROM(kLogRoutine, tracefmt::kAtAnswerFmt, szPath, szReply);
    if (strstr(szReply, kAck) == nullptr) {
        RTLOG_FMT_FROM(kLogRoutine, tracefmt::kAtAnswerErrFmt, szPath, szReply);
        iRet = -1;
    }
}
}  // namespace

int THSensorTest(_tag_PortData_& stPort, const char* szPath) {
    int iRet = 0;
    const int iwrite = SendProbe(stPort, szPath, iRet);
    Sys().Usleep(serial::kReplyWaitUs);
    CheckReply(stPort.fdPort, szPath, iwrite, iRet);
    if (iRet == 0) {
        stPort.cSta = STA_PASS;
        RTLOG_FMT_FROM(kLogRoutine, tracefmt::kAtPassFmt, szPath);
    } else {
        stPort.cSta |= STA_RECV_ERR;
        RTLOG_FMT_FROM(kLogRoutine, tracefmt::kAtFailFmt, szPath);
    }
    return iRet;
}
