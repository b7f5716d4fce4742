// The one in-memory result model every report format is written from, and the arithmetic that
// fills it from the stored runs: yields, the failure Pareto, the fixture view with its flag,
// intermittent ports, analogue statistics, yield per day and per station, and their trends. Pure:
// no database, no output.
//
// A run is counted under its station (FixtureOf). A --host or --station filter selects runs, but
// the builder is fed every run of the selection's days: the selected runs make the run counts, the
// Pareto and the fixture view's cells, while the fixture flag compares a selected station with the
// runs of all other stations. A board belongs to the selection when its first run (by start time)
// is selected, i.e. to the station of its first run; its first-pass and final results then count
// its runs on any station. An aborted (incomplete) run is an attempt: a board whose first run was
// aborted did not pass first time.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "parse/failureCauses.h"
#include "report/paretoCauses.h"
#include "report/reportSelection.h"
#include "store/alarmRows.h"
#include "store/runRows.h"
#include "traceLogFormat.h"

namespace yield {

// The fixture flag: one station's failure rate for a port stands well apart from the other
// stations' when the station has run the port at least kFlagMinRuns times with at least
// kFlagMinFailures failures, the others together at least kFlagMinRuns times, and its rate is at
// least kFlagMinGap above the others' pooled rate and at least kFlagMinRatio times it.
constexpr long long kFlagMinRuns = 4;
constexpr long long kFlagMinFailures = 2;
constexpr double kFlagMinGap = 0.30;
constexpr double kFlagMinRatio = 3.0;

// The analogue limits Cpk is taken against, in volts: the window the board judges against.
constexpr double kAnalogueLow = tracefmt::kAdcLowHundredths / 100.0;
constexpr double kAnalogueHigh = tracefmt::kAdcHighHundredths / 100.0;
// Readings are logged in hundredths of a volt: readings whose spread is below that (half of it,
// clear of float noise either way) do not vary, and have no standard deviation and no Cpk.
constexpr double kReadingResolution = 0.01;

struct YieldSummary {
    long long runs = 0;
    long long completeRuns = 0;
    long long incompleteRuns = 0;
    long long boards = 0;          // processor IDs whose first run is selected
    long long firstPassed = 0;     // boards whose first run, complete or not, passed
    long long finalPassed = 0;     // boards whose last complete run passed
    long long retestedBoards = 0;  // boards with more than one run
    long long retestRuns = 0;      // runs after each board's first, aborted ones too
    long long recovered = 0;       // boards that failed first and passed last
    // Runs whose stamp gives no day: counted above, but in no day's row; with a day bound in the
    // filter, the runs the bound left out.
    long long noDayRuns = 0;
    double firstPassYield = 0;
    double finalYield = 0;
};

struct RetestRow {
    std::string chipId;
    long long runs = 0;
    std::string firstVerdict;
    std::string finalVerdict;
};

struct ParetoRow {
    std::string port;
    long long failures = 0;
    double share = 0;       // of all port failures
    double cumulative = 0;  // running share, largest first
};

struct FixtureCell {
    std::string host;  // the station (FixtureOf); the name the charts read it by
    std::string port;
    long long runs = 0;
    long long failures = 0;
    double rate = 0;
    double othersRate = 0;  // pooled rate of the other stations, for the flag
    long long othersRuns = 0;
    bool flagged = false;
};

// The fixture view's cells held compactly (station and port by number, the others' figures from
// the port's totals over every station): a view over many stations costs 24 bytes a cell. Reading
// a cell makes its FixtureCell.
class FixtureView {
public:
    struct Entry {
        uint32_t host = 0;  // into the stations
        uint32_t port = 0;  // into ports
        long long runs = 0;
        long long failures = 0;
    };

    class Iterator {
    public:
        Iterator(const FixtureView* view, size_t i) : view_(view), i_(i) {}
        FixtureCell operator*() const { return (*view_)[i_]; }
        Iterator& operator++() {
            ++i_;
            return *this;
        }
        bool operator!=(const Iterator& o) const { return i_ != o.i_; }
        bool operator==(const Iterator& o) const { return i_ == o.i_; }

    private:
        const FixtureView* view_;
        size_t i_;
    };

    FixtureView() = default;
    // `entries` by station, then by port in `ports` order. `portTotals`: each port's runs and
    // failures on every station, the shown ones and the others; empty: the entries' own sums.
    FixtureView(std::vector<std::string> hosts, std::vector<std::string> ports,
                std::vector<Entry> entries,
                std::vector<std::pair<long long, long long>> portTotals = {});
    size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    FixtureCell operator[](size_t i) const;
    const Entry& entry(size_t i) const { return entries_[i]; }
    Iterator begin() const { return Iterator(this, 0); }
    Iterator end() const { return Iterator(this, entries_.size()); }

private:
    std::vector<std::string> hosts_, ports_;
    std::vector<Entry> entries_;
    std::vector<std::pair<long long, long long>> portTotals_;  // runs, failures
};

struct IntermittentRow {
    std::string station;
    std::string chipId;
    std::string timeStamp;
    std::string port;
};

struct AnalogueStats {
    std::string input;  // "AI1", ...
    long long count = 0;
    double mean = 0;
    double stddev = 0;  // sample standard deviation; 0 for readings that do not vary
    double min = 0;
    double max = 0;
    bool hasCpk = false;
    double cpk = 0;
    long long outside = 0;               // readings outside the limits
    std::map<int, long long> histogram;  // hundredths of a volt -> readings
};

struct DayRow {
    std::string day;
    long long runs = 0;  // complete runs
    long long passed = 0;
    long long incomplete = 0;
    double yield = 0;      // of the day's complete runs
    long long boards = 0;  // first tested that day
    long long firstPassed = 0;
    long long finalPassed = 0;
    double firstPassYield = 0;
    double finalYield = 0;
};

// The yields of the boards first tested at one station, and the runs the station made.
struct StationRow {
    std::string station;
    long long runs = 0;  // complete and incomplete
    long long boards = 0;
    long long firstPassed = 0;
    long long finalPassed = 0;
    long long retestRuns = 0;  // of its boards, on any station
    double firstPassYield = 0;
    double finalYield = 0;
};

// One station's first-pass yield in one period (a day, or an ISO week as 2026-W49).
struct StationTrendRow {
    std::string period;
    std::string station;
    long long boards = 0;  // first tested then and there
    long long firstPassed = 0;
    double firstPassYield = 0;
};

// One port's failures in one period.
struct PortTrendRow {
    std::string period;
    std::string port;
    long long runs = 0;
    long long failures = 0;
};

// The boards first tested at one station in one hour of the day (the hour of their first run).
struct HourRow {
    std::string station;
    long long hour = 0;  // 0-23
    long long boards = 0;
    long long firstPassed = 0;
    long long finalPassed = 0;
    double firstPassYield = 0;
    double finalYield = 0;
};

// A station's first-pass yield over its latest boards (by their first run): the alarm's window.
struct RecentBoards {
    std::string station;
    long long boards = 0;  // at most the window's, fewer when the station has fewer
    long long firstPassed = 0;
    double firstPassYield = 0;
};

// One of the latest stored runs, of any day, as the line screen lists it.
struct LatestRun {
    long long id = 0;
    std::string chipId, host, station, timeStamp, verdict;
    std::string failing;  // its failing ports, ", " between them
};

// Why a board is in the repair queue.
constexpr char kRepairFailed[] = "failed";
constexpr char kRepairNoCompleteRun[] = "no complete run";
// A board the desk repaired, waiting for its next run.
constexpr char kRepairAwaitingRetest[] = YIELD_REPAIR_AWAITING_RETEST;
// A failure line quoted in the queue is cut to this many bytes.
constexpr size_t kRepairLineBytes = 60;

// A board to repair: its last complete run failed, or it has only incomplete runs (then its
// latest run is the one shown); less the boards the desk scrapped or returned since that run.
struct RepairRow {
    std::string chipId;
    std::string station;  // of the run shown
    std::string timeStamp;
    std::string status;    // kRepairFailed, kRepairNoCompleteRun or kRepairAwaitingRetest
    std::string failures;  // each failing port with its value or reason, "; " between
    long long runId = 0;   // the run shown; 0 when the rows gave none
    // Seconds since the run shown started, by the board's clock read in this host's zone;
    // unknown (false) when its stamp gives no time, or a time after the report's.
    bool queueKnown = false;
    long long queueSeconds = 0;
    std::vector<FailureCause> causes = {};  // what failed the run shown, each cause once
};

// One failing port of a queued board (or its run's own cause, with no port), with its cause.
struct RepairPortRow {
    std::string chipId;
    std::string station;
    std::string timeStamp;
    std::string port;     // "" for a run failed before any port
    long long cause = 0;  // the cause's number in its run (1 on): ports of one cause share it
    FailureCause what;
};

// A run of a board whose clock was unset: counted on the day its file arrived.
struct ClockRow {
    std::string chipId;
    std::string station;
    std::string timeStamp;  // as the board stamped it
    std::string arrivalDay;
    std::string verdict;
};

struct ReportModel {
    RunFilter filter;
    Selection selection;
    // Failed boards newest run first, then boards with no complete run newest first.
    std::vector<RepairRow> repairs;  // their ports one by one: ForEachRepairPort
    YieldSummary summary;
    std::vector<RetestRow> retests;
    std::vector<ParetoRow> pareto;
    std::vector<CauseRow> causes;    // the Pareto by cause, once per board (paretoCauses.h)
    std::vector<std::string> hosts;  // the stations of the fixture view
    std::vector<std::string> ports;  // every port seen, in family order
    FixtureView fixture;             // by station, then port (their numbers index hosts and ports)
    std::vector<IntermittentRow> intermittent;
    std::vector<AnalogueStats> analogue;
    std::vector<DayRow> days;
    std::vector<StationRow> stations;
    std::vector<StationTrendRow> stationTrend;  // by period, then station
    std::vector<PortTrendRow> portTrend;        // by period, then port in family order
    // By station, then hour; boards whose stamp gives no hour left out. Empty unless the builder
    // was asked to count them (the line screen shows them, no report does).
    std::vector<HourRow> hours;
    std::vector<RecentBoards> recent;  // by station; empty unless the builder was asked to keep it
    // The boards (not runs) that tested each port, by station then port name; kept with `recent`
    // (read from a store's tallies: the flagged ports' only, which the alarms name).
    std::map<std::pair<std::string, std::string>, long long> portBoards;
    std::vector<LatestRun> latest;  // newest first; read for the line screen only
    std::vector<AlarmRow> alarms;  // the line screen's alarms raised in the selection, newest first
    std::vector<ClockRow> clockUnset;  // the selected runs of unset clocks, in store order
};

// Whether `run` passes the filter's host and station.
bool Selected(const RunFilter& filter, const RunSummary& run);
bool Selected(const RunFilter& filter, const std::string& host, const std::string& station);
// Whether a run (or a board's first run) of `day` is of the filter's days.
bool InDays(const RunFilter& filter, const std::string& day);

// Fed runs in any order (every stored run: a board's first and last runs are of any day) and the
// selection's analogue readings, or the store's tallies of the selection's days and then the runs
// of those days; Finish computes the figures. A board's first and last runs are taken by start
// time (then by the order the store keeps).
class ReportBuilder {
public:
    explicit ReportBuilder(RunFilter filter);
    void AddRun(const RunSummary& run);
    void AddReading(const NamedValue& value, long long count = 1);  // `count` equal readings
    void AddRunsLeftOutWithoutDay(long long n) { m_.summary.noDayRuns += n; }
    // The ports' runs and failures, the runs and the boards come from tallies (AddPortTally,
    // AddRunTally, AddBoard), before any run: the runs then bring only the ports their failures
    // and intermittent list need.
    void CountFromTallies() { tallied_ = true; }
    void AddPortTally(const PortTallyRow& t);
    void AddRunTally(const RunTallyRow& t);
    void AddBoard(const BoardRow& b);
    // Plain boards (one run, which passed) counted as AddBoard counts each, without recent boards
    // or hours.
    void AddPlainBoards(const PlainBoardsRow& t);
    // Fill `recent` with each station's latest `boards` boards (0: none).
    void KeepRecentBoards(int boards) { recentWindow_ = boards; }
    // Fill `hours` (false: not counted).
    void CountHours(bool count) { hours_ = count; }
    ReportModel Finish();

private:
    // A run as a board remembers it, ordered by (start stamp, id); its stamp is held in
    // stampText_, so that a board costs no text but its processor ID.
    struct RunMark {
        size_t stampAt = 0;
        uint32_t stampSize = 0;
        uint32_t station = 0;  // into stations_
        long long id = 0;
        long long runId = 0;  // as the rows gave it
        Verdict verdict = Verdict::Incomplete;
    };
    std::string_view Stamp(const RunMark& mark) const {
        return std::string_view(stampText_).substr(mark.stampAt, mark.stampSize);
    }
    // A board's first run of any verdict and its last complete run.
    struct Board {
        RunMark first, lastComplete;
        uint32_t firstDay = 0;  // into days_ names
        int firstHour = -1;
        bool firstSelected = false;
        long long runs = 0, complete = 0;
    };
    // Names by number, each once.
    struct Names {
        std::vector<std::string> names;
        std::unordered_map<std::string, uint32_t> index;
        uint32_t Of(const std::string& name);
    };
    // The boards first tested in one station or one period.
    struct BoardCounts {
        long long boards = 0, firstPassed = 0, finalPassed = 0, retestRuns = 0;
    };
    // A board as CountBoard takes it, from the runs or from its row.
    struct BoardFacts {
        const std::string* chipId = nullptr;
        long long runs = 0, complete = 0;
        long long firstId = 0;  // orders boards of one first stamp
        std::string_view firstStamp;
        uint32_t firstStation = 0, firstDay = 0;
        int firstHour = -1;
        Verdict firstVerdict = Verdict::Incomplete;
        const std::string* shownStation = nullptr;
        std::string_view shownStamp;
        long long shownRunId = 0;
        Verdict shownVerdict = Verdict::Incomplete;
    };
    void AddToBoard(const RunSummary& run, uint32_t station, bool selected);
    void AddUnsetClock(const RunSummary& run);
    bool CountRuns(uint32_t station, const std::string& day, Verdict verdict, long long n);
    void AddSelectedRun(const RunSummary& run, uint32_t station, uint32_t day);
    void CountPorts(const RunSummary& run, uint32_t day);
    void ListIntermittent(const RunSummary& run);
    void CloseBoard(const std::string& chipId, const Board& b);
    void CountBoard(const BoardFacts& b);
    struct PortNames {
        std::vector<std::string> names;          // each once, in byte order
        std::vector<std::pair<int, int>> order;  // PortOrder of each name
        std::vector<uint32_t> ofKey;             // port key -> name
    };
    PortNames NamePorts() const;
    void BuildPareto(const PortNames& n);
    void BuildFixture(const PortNames& n);
    void KeepPortBoards(const PortNames& n);
    void BuildDays();
    void BuildStations();
    void BuildHours();
    void BuildRecent();
    void BuildStationTrend();
    void BuildPortTrend(const PortNames& n);
    std::string Period(uint32_t day) const;

    ReportModel m_;
    std::unordered_map<std::string, Board> boards_;        // by processor ID
    std::unordered_map<std::string, RunMark> unfinished_;  // latest run of boards with no complete
    std::string stampText_;  // the stamps of the runs the boards remember, one after another
    long long nextId_ = 0;   // stands in for runs that come without an id
    std::vector<long long> portFailures_;  // by port key, selected runs
    // By port key, the runs and failures of every station, for the fixture flag's comparison.
    std::vector<std::pair<long long, long long>> portTotals_;
    Names stations_, dayNames_;
    std::vector<long long> stationRuns_;  // selected runs by station
    // Selected runs and failures by day, then by port key.
    std::vector<std::vector<std::pair<long long, long long>>> portsByDay_;
    std::map<uint32_t, BoardCounts> boardsByStation_;
    // The boards of the selection by the day and station of their first run (day << 32 |
    // station), and how many of them passed first time: sorted into the station trend at the end.
    std::unordered_map<uint64_t, std::pair<long long, long long>> firstTests_;
    std::map<std::pair<uint32_t, int>, BoardCounts> boardsByHour_;  // station, hour
    // Each board of the selection by its first run, for the recent boards' window.
    struct Recent {
        std::string stamp;
        long long id = 0;
        uint32_t station = 0;
        bool passed = false;
    };
    std::vector<Recent> recentBoards_;
    int recentWindow_ = 0;
    bool hours_ = true;
    bool weekly_ = false;
    bool tallied_ = false;
    // Per station, each port's runs and failures, in the order first seen (runs list their ports
    // in the same order, so the next port is almost always the next cell); past kLinearCells cells
    // a station's cells are found through an index, so a run listing many ports in a new order
    // costs no more than one in the usual order.
    struct Cell {
        uint32_t port = 0;  // into portKeys_
        long long runs = 0;
        long long failures = 0;
    };
    struct HostCells {
        std::vector<Cell> cells;
        std::unordered_map<uint32_t, uint32_t> index;  // port -> cell, once past kLinearCells
    };
    static constexpr size_t kLinearCells = 32;
    bool SamePort(uint32_t key, const PortResult& p) const;
    uint32_t PortKey(const PortResult& p);
    size_t FindCell(HostCells& host, const PortResult& p);
    std::map<std::string, HostCells> cells_;  // selected runs, by station
    // With a recent window: the boards of each station's ports, by station and port key.
    // The boards that tested each port, kept with `recent`: by station, then port key, the
    // boards (into chips_) of each run, repeats and all.
    std::map<std::string, std::vector<std::vector<uint32_t>>> portBoards_;
    Names chips_;
    std::vector<std::pair<std::string, int>> portKeys_;  // family, number
    // Family -> number -> port key.
    std::unordered_map<std::string, std::unordered_map<int, uint32_t>> portNumbers_;
    std::map<std::string, DayRow> days_;
    std::vector<DayRow*> dayRows_;  // by day name, into days_: a board's day found by number
    DayRow& DayRowOf(uint32_t day);
    struct Acc {
        long long n = 0;
        double mean = 0, m2 = 0, min = 0, max = 0;  // Welford's running mean and squares
        long long outside = 0;
        std::map<int, long long> histogram;
    };
    std::map<std::string, Acc> analogue_;
    CauseTally causes_;
};

// Builds the model from `rows` (read through `filter`), one row at a time; then reads the runs
// of the failed boards in the repair queue for their failures, of the first `quotedRepairs` rows
// of the queue (an output that lists only its head reads no more). `recentBoards`: as
// KeepRecentBoards; `hours`: as CountHours.
constexpr size_t kQuoteEveryRepair = static_cast<size_t>(-1);
ReportModel BuildReport(const RunFilter& filter, const ReportRows& rows, int recentBoards = 0,
                        size_t quotedRepairs = kQuoteEveryRepair, bool hours = true);

// A failed run's causes as one text: each with its ports and the value judged failing and what
// it was judged against ("ADC-2 1.71 V, limits 1.5 to 1.7", "RS232-1 0 bytes, expected 32"),
// else the line that failed them (cut short), "; " between.
std::string RepairFailures(const std::vector<FailureCause>& causes);
inline std::string RepairFailures(const RunRecord& run) {
    return RepairFailures(FailureCauses(run));
}

// The queue as the desk left it, from each board's latest disposition (by processor ID): a board
// scrapped or returned leaves it, a repaired one stays as kRepairAwaitingRetest; a disposition
// recorded before the run shown was stored (DispositionCovers) no longer counts.
void ApplyDispositions(std::vector<RepairRow>& repairs, const std::vector<Disposition>& latest);
// Each row's time in queue at `now`.
void SetQueueTimes(std::vector<RepairRow>& repairs, std::time_t now);
// A time in queue for people: "40 min", "5 h", "3 d".
std::string QueueTimeText(long long seconds);

// The queue's boards once per failing port (or once per cause without a port), each with its
// cause, in the queue's order; made one at a time from `repairs`, never held.
void ForEachRepairPort(const std::vector<RepairRow>& repairs,
                       const std::function<void(const RepairPortRow&)>& take);

// Sort key that puts ports in the result document's family order, then by number.
std::pair<int, int> PortOrder(const std::string& port);

// Cpk of readings with this mean and standard deviation against [low, high]; false when the
// spread is zero or unknown.
bool Cpk(double mean, double stddev, double low, double high, double& cpk);

// The flag rule above, for one station's cell against the pooled others.
bool FixtureFlag(long long runs, long long failures, long long othersRuns,
                 long long othersFailures);

}  // namespace yield
