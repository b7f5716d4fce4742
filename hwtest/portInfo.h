// The port inventory: counts per family, one entry per port for the running test, and the
// pass/failure tallies of every port over the run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

inline constexpr uint8_t STA_SEND_OK = 0x01;
inline constexpr uint8_t STA_RECV_OK = 0x02;
inline constexpr uint8_t STA_RECV_ERR = 0x04;
inline constexpr uint8_t STA_SEND_ERR = 0x08;
inline constexpr uint8_t STA_PASS = 0x03;  // the only value that counts as a pass

// The record types keep the board's _tag_<Name>_ names. Such a name (underscore, lower-case
// letter) is reserved at global scope, so they are declared in a namespace of their own that
// holds nothing else, and made visible by a using-directive: a using-declaration would declare
// the names at global scope again.
namespace vxport {

struct _tag_PortData_ {
    int32_t fdPort = 0;  // 0, not -1, stands for no open descriptor
    uint8_t cSta = 0;
};

struct _tag_TestSta_ {
    int32_t nSuccCnt = 0;
    int32_t nErrCnt = 0;
};

struct _tag_VxPortInfo_ {
    uint16_t cntRS485 = 0;
    uint16_t cntRS232 = 0;
    uint16_t cntDI = 0;
    uint16_t cntDO = 0;
    uint16_t cntAI = 0;
    uint16_t cntUSB = 0;
    uint16_t cntLED = 0;

    std::vector<_tag_PortData_> vecRS485;
    std::vector<_tag_PortData_> vecRS232;
    std::vector<_tag_PortData_> vecDI;
    std::vector<_tag_PortData_> vecDO;
    std::vector<_tag_PortData_> vecAI;
    std::vector<_tag_PortData_> vecUSB;
    std::vector<_tag_PortData_> vecLED;

    std::vector<_tag_TestSta_> staRS485;
    std::vector<_tag_TestSta_> staRS232;
    std::vector<_tag_TestSta_> staDI_NO;
    std::vector<_tag_TestSta_> staDO_NO;
    std::vector<_tag_TestSta_> staDI_NC;
    std::vector<_tag_TestSta_> staDO_NC;
    std::vector<_tag_TestSta_> staAI;
    std::vector<_tag_TestSta_> staUSB;
    std::vector<_tag_TestSta_> staLED;
};

}  // namespace vxport

using namespace vxport;

extern _tag_VxPortInfo_ vxPortInfo;

// Mount points of the USB sticks, appended by every USB test and read by the log archiving.
extern std::vector<std::string> g_USBDEV;

// Folds the status of entries 0..nCnt-1 into the tallies: exactly STA_PASS counts as a pass.
void LogTestDat(int nCnt, std::vector<_tag_PortData_>& vecPort, std::vector<_tag_TestSta_>& vecSta);

// A port passed the run when it passed at least once and never failed.
bool PortPassed(const _tag_TestSta_& sta);

// How many DO entries and tallies the inventory holds: DO1..DO<cntDO>, then the system outputs
// SDO1 and SDO2, which the digital loop-back test drives as well.
int DoEntryCount(const _tag_VxPortInfo_& info);

// Appends the entries and zeroed tallies of every family, once per run.
void SetUpPortEntries(_tag_VxPortInfo_& info);

// Empties all sixteen vectors.
void ClearPortEntries(_tag_VxPortInfo_& info);
