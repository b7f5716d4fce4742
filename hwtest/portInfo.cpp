#include "portInfo.h"

#include "traceLogFormat.h"

_tag_VxPortInfo_ vxPortInfo;
std::vector<std::string> g_USBDEV;

void LogTestDat(int nCnt, std::vector<_tag_PortData_>& vecPort,
                std::vector<_tag_TestSta_>& vecSta) {
    for (int i = 0; i < nCnt; ++i) {
        if (vecPort[i].cSta == STA_PASS) {
            vecSta[i].nSuccCnt++;
        } else {
            vecSta[i].nErrCnt++;
        }
    }
}

int DoEntryCount(const _tag_VxPortInfo_& info) { return info.cntDO + tracefmt::kSystemOutputs; }

bool PortPassed(const _tag_TestSta_& sta) { return sta.nSuccCnt >= 1 && sta.nErrCnt == 0; }

namespace {
void AddPorts(int n, std::vector<_tag_PortData_>& vecPort, std::vector<_tag_TestSta_>& sta) {
    for (int i = 0; i < n; ++i) {
        vecPort.emplace_back();
        sta.emplace_back();
    }
}

void AddDualPorts(int n, std::vector<_tag_PortData_>& vecPort, std::vector<_tag_TestSta_>& staNo,
                  std::vector<_tag_TestSta_>& staNc) {
    for (int i = 0; i < n; ++i) {
        vecPort.emplace_back();
        staNo.emplace_back();
        staNc.emplace_back();
    }
}
}  // namespace

void SetUpPortEntries(_tag_VxPortInfo_& info) {
    AddPorts(info.cntRS485, info.vecRS485, info.staRS485);
    AddPorts(info.cntRS232, info.vecRS232, info.staRS232);
    AddDualPorts(DoEntryCount(info), info.vecDO, info.staDO_NO, info.staDO_NC);
    AddDualPorts(info.cntDI, info.vecDI, info.staDI_NO, info.staDI_NC);
    AddPorts(info.cntUSB, info.vecUSB, info.staUSB);
    AddPorts(info.cntAI, info.vecAI, info.staAI);
    AddPorts(info.cntLED, info.vecLED, info.staLED);
}

void ClearPortEntries(_tag_VxPortInfo_& info) {
    for (auto* v : {&info.vecRS485, &info.vecRS232, &info.vecDI, &info.vecDO, &info.vecAI,
                    &info.vecUSB, &info.vecLED}) {
        v->clear();
    }
    for (auto* v : {&info.staRS485, &info.staRS232, &info.staDI_NO, &info.staDO_NO, &info.staDI_NC,
                    &info.staDO_NC, &info.staAI, &info.staUSB, &info.staLED}) {
        v->clear();
    }
}
