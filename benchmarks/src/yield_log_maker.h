// Made trace logs for the yield tool's benchmark: a real archived log (a golden one) turned into
// the log of another run by changing its identity (host name, processor ID), its time (every
// line's time and the start stamp, shifted together) and its tallies (the summary lines' counts).
#pragma once

#include <functional>
#include <queue>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace benchutil {

struct MadeIdentity {
    std::string host;
    std::string chipId;
    long long startEpoch = 0;  // the made run's start, seconds since 1970 (UTC)
    int tallySeed = 0;         // how the summary counts change
};

struct MadeLog {
    std::string text;
    std::string timeStamp;                     // "YYYY_MM_DD_HH_MM_SS"
    std::vector<std::pair<int, int>> tallies;  // each summary line's (succ, err), in log order
};

// Rewrites `golden` for `id`. Lines the identity does not touch are copied unchanged.
MadeLog MakeLog(std::string_view golden, const MadeIdentity& id);

// The identity of the i-th of many made runs: `hosts` hosts (24 unless told), one board in ten
// retested (the run after it has the same processor ID), a run every 37 s from 2026-01-05
// 00:00:00.
MadeIdentity NthIdentity(long long i, long long hosts = 24);

// A line's mix, the other way of making runs (the identities above are the harsh mix: most runs
// fail). About 93 % of boards pass their first run and 98 % in the end: a board that fails is
// retested on another station a few minutes later, once when the fixture was at fault, once or
// twice when the board is. The runs fall in two shifts, 06:00 to 22:00 every day, 2,740 a day
// from 2025-01-06, so 1,000,000 runs fill a year that ends on 2026-01-05. One station drifts: its failure rate on the
// port of one failing log grows from nothing to 12 % over the year. Deterministic: the n-th run of
// a mix is the same whatever was asked before it.
struct LineMixShape {
    long long stations = 6;
    int failingLogs = 1;  // how many failing golden logs a failed run is made from
    int driftLog = 0;     // the one whose failing port the drifting station fails on
};

struct LineRun {
    MadeIdentity id;
    long long station = 0;  // 0-based; id.host names it
    long long board = 0;    // in the order of the boards' first runs, from 0
    int attempt = 0;        // 0 the board's first run, then its retests
    bool pass = true;
    bool drift = false;  // a failure of the drifting station's port
    int failingLog = 0;  // when it fails: which of the failing golden logs it is made from
};

// The station that drifts, 0-based: fixture-03 (hosts are "fixture-01" on), or the last of fewer.
long long DriftStation(long long stations);

class LineMix {
public:
    explicit LineMix(const LineMixShape& shape);
    LineRun Next();  // the next run in time

private:
    struct Retest {
        long long due = 0;  // the slot it runs in, at the earliest
        LineRun run;
        int more = 0;  // failing retests after this one
        bool operator>(const Retest& o) const {
            return due != o.due ? due > o.due : run.board > o.run.board;
        }
    };
    LineRun FirstRun();
    void ScheduleRetest(const LineRun& after, int more, bool pass);
    void Place(LineRun& run) const;

    LineMixShape shape_;
    long long slot_ = 0;
    long long boards_ = 0;
    std::priority_queue<Retest, std::vector<Retest>, std::greater<Retest>> retests_;
};

// `golden` with its result document replaced by one that lists `ports` ports of one family, far
// more than a board has: a forged log.
std::string ForgedPortsLog(std::string_view golden, long long ports);

}  // namespace benchutil
