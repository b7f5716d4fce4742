// The boards of one day as the line screen counts them: each board under the station and hour of
// its first run, with whether that run passed and whether its last complete run passed.
#pragma once

#include <string>
#include <vector>

#include "runRows.h"

namespace yield {

struct FirstTest {
    std::string chipId;
    std::string station;  // FixtureOf its first run
    std::string timeStamp;
    long long runId = 0;
    bool firstPassed = false;  // its first run, complete or not, passed
    bool finalPassed = false;  // its last complete run passed
};

// Every board of `runs` once, ordered by its first run (start stamp, then id).
std::vector<FirstTest> FirstTests(const std::vector<RunSummary>& runs);

// The hour (0-23) of a "%Y_%m_%d_%H_%M_%S" stamp; -1 when it gives none.
int HourOf(const std::string& timeStamp);

struct HourRow {
    std::string station;
    int hour = 0;
    long long boards = 0;
    long long firstPassed = 0;
    long long finalPassed = 0;
    double firstPassYield = 0;
    double finalYield = 0;
};

// Boards first tested per station and hour, by station then hour; boards whose stamp gives no
// hour are left out.
std::vector<HourRow> HourTable(const std::vector<RunSummary>& runs);

}  // namespace yield
