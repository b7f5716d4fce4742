// Made trace logs for the yield tool's benchmark: a real archived log (a golden one) turned into
// the log of another run by changing its identity (host name, processor ID), its time (every
// line's time and the start stamp, shifted together) and its tallies (the summary lines' counts).
#pragma once

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

// `golden` with its result document replaced by one that lists `ports` ports of one family, far
// more than a board has: a forged log.
std::string ForgedPortsLog(std::string_view golden, long long ports);

}  // namespace benchutil
