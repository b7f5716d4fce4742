// The rows the report reads, and where they come from: a report is built from these alone, never
// from the database (the store, store.h, is one source of them).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "parse/runRecord.h"
#include "store/disposition.h"

namespace yield {

// Runs to read: days as YYYY-MM-DD, inclusive; empty means no bound. A run whose stamp gives no
// day passes only a filter without day bounds.
struct RunFilter {
    std::string since;
    std::string until;
    std::string host;
    std::string station;  // a station, or a host for runs without one (see FixtureOf)
    bool HasDayBound() const { return !since.empty() || !until.empty(); }
};

// What the reports read per run.
struct RunSummary {
    long long id = 0;
    std::string host;
    std::string station;  // "" when the ingest was given none
    std::string chipId;
    std::string timeStamp;
    std::string day;
    int hour = -1;  // of its time stamp (StampHour); -1 when it gives none
    Verdict verdict = Verdict::Incomplete;
    std::vector<PortResult> ports;
    // A failed run's causes as the store kept them (parse/runCauses.h); its ports are then only
    // those the notable runs bring. Empty: the causes its ports give.
    std::vector<std::string> causes = {};
    // Its board's clock was unset (parse/runClock.h): `day` is the day its file arrived.
    bool clockUnset = false;
};

// The fixture a run is counted under: its station where known, else its host name.
inline const std::string& FixtureOf(const std::string& host, const std::string& station) {
    return station.empty() ? host : station;
}
inline const std::string& FixtureOf(const RunSummary& run) {
    return FixtureOf(run.host, run.station);
}

struct NamedValue {
    long long runId = 0;
    std::string name;
    double value = 0;
    std::string outcome;
};

using RunSink = std::function<void(const RunSummary&)>;
// A value with how many readings have it.
using ReadingSink = std::function<void(const NamedValue&, long long count)>;
// A run's failing results, as a repair quotes them: only its failed ports, failed measurements
// and failure lines are set.
using FailingSink = std::function<void(long long runId, const RunRecord& failing)>;
// The failing results of the runs `ids` (ascending, each once), given in that order; a run
// without any is given empty.
using FailingSource = std::function<void(const std::vector<long long>& ids, const FailingSink&)>;

// One port's tally over the complete runs of one day, host and station.
struct PortTallyRow {
    std::string day, host, station, family;
    int number = 0;
    long long runs = 0, failures = 0;
};
using PortTallySink = std::function<void(const PortTallyRow&)>;

// The runs of one day, host, station and verdict.
struct RunTallyRow {
    std::string day, host, station;
    Verdict verdict = Verdict::Incomplete;
    long long runs = 0;
};
using RunTallySink = std::function<void(const RunTallyRow&)>;

// One run of a board as the board's row keeps it.
struct BoardRun {
    long long id = 0;
    std::string timeStamp, day, host, station;  // `day`: of the first run only
    Verdict verdict = Verdict::Incomplete;
};
// A board (processor ID) over all its runs, of any day: its first run (by start stamp, then ID)
// and the run its repair shows (its last complete run, else its latest); of a board the queue does
// not hold (its last complete run passed), only that run's verdict is read.
struct BoardRow {
    std::string chipId;
    long long runs = 0, complete = 0;
    BoardRun first, shown;
};
using BoardSink = std::function<void(const BoardRow&)>;

// The plain boards (one run, which passed) whose run is of one day, host and station.
struct PlainBoardsRow {
    std::string day, host, station;
    long long boards = 0;
};
using PlainBoardsSink = std::function<void(const PlainBoardsRow&)>;

// The rows of one report, each source fed once and streamed: runs one at a time (in any order),
// the analogue readings as distinct values with their counts, and the runs whose stamp gives no
// day (asked only of a filter with a day bound, which leaves them out). `failing` is asked once,
// for the failed boards the repair queue lists, after every run went by; null: the queue without
// values.
struct ReportRows {
    std::function<void(const RunSink&)> runs;
    std::function<void(const ReadingSink&)> voltReadings;
    std::function<long long()> runsWithoutDay;
    FailingSource failing;
    // Each board's latest disposition; null: the queue as the runs alone make it.
    std::function<void(const DispositionSink&)> dispositions;
    // The tallies of the runs' days: set (all three), the boards whose first run is of those days
    // and the runs and ports of those days are counted from them, and `runs` brings only the runs
    // the report lists or reads the failures of (ReadStore::ForEachNotableRun). Null: every run
    // of every day, with its ports, and the boards made from them.
    std::function<void(const PortTallySink&)> portTallies;
    std::function<void(const RunTallySink&)> runTallies;
    std::function<void(const BoardSink&)> boards;
    // With the tallies, for a report that needs no board's own stamp: the plain boards counted
    // (plainBoards), the others one by one (notableBoards), in place of `boards`.
    std::function<void(const PlainBoardsSink&)> plainBoards;
    std::function<void(const BoardSink&)> notableBoards;
};

}  // namespace yield
