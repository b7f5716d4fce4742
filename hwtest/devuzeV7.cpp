#include "devuzeV7.h"

#include <sys/msg.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "SimpleIni.h"
#include "archive.h"
#include "discovery.h"
#include "global.h"
#include "hwPaths.h"
#include "indications.h"
#include "processGuards.h"
#include "resultDoc.h"
#include "selectMask.h"
#include "startup.h"
#include "testCycle.h"
#include "tipsMessage.h"
#include "traceLogFormat.h"
#include "vxLog.h"
#include "vxSys.h"
#include "vxText.h"

const char* filename = hw::kLogFile;

namespace {
constexpr char kLogModule[] = "devuzeV7";
// The routine the log names: its helpers report as part of it.
constexpr char kLogRoutine[] = "main";
constexpr int kTextSize = 256;
constexpr int kShortCmdSize = 64;
constexpr unsigned kStartPauseUs = 200000;
constexpr unsigned kEndPauseUs = 500000;
constexpr int kSetUpFailure = tracefmt::kSetUpFailureCode;

int s_Test_Def = 0;

struct RunState {
    char szHost[kTextSize];
    char szTime[kTextSize];
    RunArgs args;
    std::string doc;  // the result document under construction
};

void RemoveOldLogs() {
    char cmd[kShortCmdSize];
    memset(cmd, 0, sizeof cmd);
    snprintf(cmd, sizeof cmd, hw::kCmdRemoveFmt, hw::kOldLogsGlob);
    Sys().System(cmd);
}

int ReadTestMode(SimpleIni& ini) {
    ini.Load(hw::kIniFile);
    return ini.GetValue<int>(hw::kIniSection, hw::kIniTestModeKey, 0);
}

// Writes the document (with room for the closing "]}" and its zero byte) to the result file.
void RecordDocument(const std::string& doc) {
    std::vector<char> text(doc.begin(), doc.end());
    text.resize(doc.size() + 3, '\0');
    RecordhwTest(text.data(), static_cast<int>(doc.size()));
}

// Identity, log header and result-document header.
void StartRun(RunState& run, int argc, char** argv, SimpleIni& ini) {
    RemoveOldLogs();
    gethostname(run.szHost, sizeof run.szHost - 1);
    s_Test_Def = ReadTestMode(ini);
    run.args.testMode = s_Test_Def;
    ParseRunArgs(argc, argv, run.args);
    s_Test_Def = run.args.testMode;
    Getimx6ullID(g_szimx6ullID, kChipIdSize);
    FormatTimeStamp(time(nullptr), run.szTime, sizeof run.szTime);
    WriteLogHeader({argv[0], run.args.szArgs, run.szHost, run.szTime, s_Test_Def, g_szimx6ullID});
    Sys().System(StrPrintf(hw::kCmdRemoveFmt, hw::kResultFile).c_str());
    run.doc = FormatDocHeader(run.szHost, run.szTime);
}

void TakeOverBoard() {
    startTimer();
    Sys().Usleep(kStartPauseUs);
    int queueId = Sys().Msgget(hw::kTrayQueueKey, hw::kTrayQueueFlags);
    SendMsgToTray(queueId, 2, 0);
    Sys().System(hw::kCmdStopApp);
    Sys().Usleep(kStartPauseUs);
    Sys().System(hw::kCmdCpuLedTrigger);
}

// The blink timer is not stopped on this road: the LEDs go on blinking until the process ends,
// as they always have when start-up fails.
int FailStartUp(RunState& run) {
    RTLOG_FROM(kLogRoutine, "%s", tracefmt::kSetUpFailed);
    RecordDocument(run.doc);
    mvLogFileName(run.szHost, run.szTime, g_szimx6ullID, kSetUpFailure);
    TestEndTips(kSetUpFailure);
    return -1;
}

void FinishRun(RunState& run, int iPortSelect) {
    int iTestSta = AppendDocSections(run.doc, iPortSelect, vxPortInfo);
    ClearPortEntries(vxPortInfo);
    RecordDocument(run.doc);
    WriteVerdictLines(iTestSta);
    mvLogFileName(run.szHost, run.szTime, g_szimx6ullID, iTestSta);
    Sys().Usleep(kEndPauseUs);
    TestEndTips(iTestSta);
    Sys().Usleep(kEndPauseUs);
    MsgToTips(iTestSta);
    Sys().Usleep(kEndPauseUs);
}
}  // namespace

int RunDevuzeV7(int argc, char** argv) {
    OpenMissingStandardDescriptors(hw::kNullDevice);
    SurviveBrokenPipe();
    static RunState run;
    memset(run.szHost, 0, sizeof run.szHost);
    memset(run.szTime, 0, sizeof run.szTime);
    SimpleIni ini("");
    const int iPortSelect = kSelectAll;
    StartRun(run, argc, argv, ini);
    TakeOverBoard();
    if (initPortInfo(&vxPortInfo) < 0) return FailStartUp(run);
    FixCounts(vxPortInfo, s_Test_Def);
    WriteCountLines(run.args.nTestCnt, iPortSelect, vxPortInfo);
    putchar('\n');
    RunTestCycles(run.args.nTestCnt, iPortSelect, vxPortInfo);
    WriteSummaryLines(iPortSelect, vxPortInfo);
    FinishRun(run, iPortSelect);
    return 0;
}
