// Run start-up: the arguments, the identity of the device and the header of the log.
#pragma once

#include <ctime>

#include "portInfo.h"

inline constexpr int kArgTextSize = 256;
inline constexpr int kMinTestCnt = 1;
inline constexpr int kMaxTestCnt = 5;

struct RunArgs {
    int nTestCnt = 1;
    int testMode = 0;  // set by the caller from the INI file; an FPC argument overrides it
    char szArgs[kArgTextSize] = {};  // the arguments joined, each preceded by one blank
};

// Applies every argument in order: "Cnt=", "cnt=", "Cnt:", "cnt:" set the cycle count (1..5),
// "FPC=", "Fpc=", "FPC:", "Fpc:" the test mode; the number follows the first ":" if there is
// one, else the first "="; base as strtol's 0, cut to 8 bits. The argument text is cut at 255.
void ParseRunArgs(int argc, char** argv, RunArgs& args);

// The number an argument carries, cut to its low 8 bits.
int ArgNumber(const char* arg);

// "%Y_%m_%d_%H_%M_%S" of the local time.
void FormatTimeStamp(time_t when, char* buf, size_t size);

struct RunIdentity {
    const char* program;
    const char* argText;
    const char* host;
    const char* timeStamp;
    int testMode;
    const char* chipId;
};
// The host name and the processor ID are written with their control characters escaped
// (EscapeControls), so each header line stays one line of the log.
void WriteLogHeader(const RunIdentity& id);

// USB and LED counts are fixed; test mode 0 also fixes the RS232 and AI counts.
void FixCounts(_tag_VxPortInfo_& info, int testMode);

void WriteCountLines(int nTestCnt, int iPortSelect, const _tag_VxPortInfo_& info);
