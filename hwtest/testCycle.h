// The test cycles: every family's test in a fixed order, each folded into the tallies; and the
// log lines that mark the cycles and end the run (formats in traceLogFormat.h).
#pragma once

#include "portInfo.h"

// Appends the entries and tallies, then runs nTestCnt cycles (at least one).
void RunTestCycles(int nTestCnt, int iPortSelect, _tag_VxPortInfo_& info);

// One "Test Succ Cnt %d,Error Cnt %d" line per port and variant, family by family.
void WriteSummaryLines(int iPortSelect, const _tag_VxPortInfo_& info);

// "-----Try Test <nCycle>-----", which opens a cycle.
void WriteCycleMark(int nCycle);
// "****Try Test <section> <nCycle>*****", which opens a family's lines within a cycle.
void WriteSectionMark(const char* section, int nCycle);

// "iTestSta:<iTestSta>", then the verdict: "Test Q7 OK!!!" for 0, else "Test Q7 Err!!!".
void WriteVerdictLines(int iTestSta);
