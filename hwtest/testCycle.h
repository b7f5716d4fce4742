// The test cycles: every family's test in a fixed order, each folded into the tallies.
#pragma once

#include "portInfo.h"

// Appends the entries and tallies, then runs nTestCnt cycles (at least one).
void RunTestCycles(int nTestCnt, int iPortSelect, _tag_VxPortInfo_& info);

// One "Test Succ Cnt %d,Error Cnt %d" line per port and variant, family by family.
void WriteSummaryLines(int iPortSelect, const _tag_VxPortInfo_& info);
