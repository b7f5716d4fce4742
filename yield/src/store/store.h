// Where runs are kept. The store knows nothing of log lines: it takes run records and gives back
// what the reports and exports read. One implementation per database engine; the SQL lives in
// sqlText.h, the openers in openStore.h, the rows the report reads in runRows.h.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "parse/runRecord.h"
#include "store/alarmRows.h"
#include "store/disposition.h"
#include "store/runRows.h"
#include "store/sourceRoles.h"

namespace yield {

// A database that cannot be opened, read or written. The one error that ends an ingest.
struct StoreError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A batch the database gave up so that another could go on (two ingests waiting on each other):
// rolled back, it can be tried again.
struct StoreRetry : StoreError {
    using StoreError::StoreError;
};

// What one file holds is past one of the database's limits (a key longer than its index takes):
// the batch is rolled back and can be redone without that file.
struct StoreRefused : StoreError {
    using StoreError::StoreError;
};

// A call on a database server given up because the process was told to stop (StopStoreWaits):
// its batch was not stored.
struct StoreStopped : StoreError {
    using StoreError::StoreError;
};

// Tells every wait on a database server, in every thread, from now on, to give up within about a
// second with StoreStopped: for a command ending at SIGINT or SIGTERM while the server does not
// answer. Calls the server answers in time still complete. Safe in a signal handler.
void StopStoreWaits() noexcept;

struct SourceFile {
    SourceFile() = default;
    SourceFile(std::string p, long long bytes, long long changed)
        : path(std::move(p)), size(bytes), mtime(changed) {}
    std::string path;
    long long size = 0;
    long long mtime = 0;  // nanoseconds since the epoch
    std::string sha256;   // of the bytes read, lower-case hex; "" until read
    std::string station;  // given to the runs found in it; "" for none
};

// When a station last brought logs: the newest file time of its runs' logs.
struct StationUpload {
    std::string station;  // the runs' station, else their host
    long long mtime = 0;  // nanoseconds since the epoch
};

// One file a run's log was found in, or a file that held no run.
struct SourceRow {
    std::string path;
    long long size = 0;
    // kRoleKept, kRoleCopy, kRoleProblem or kRoleUnread (sourceRoles.h)
    std::string role;
    std::string reason;  // for a problem
    bool complete = false;
    int records = 0;
    std::string sha256;  // of the file's bytes as read, lower-case hex; "" when not read
};

enum class PutOutcome {
    New,       // a run not seen before
    Replaced,  // a more complete copy of a known run: its data now comes from this file
    Copy,      // another copy of a known run, no more complete than the one kept
    Same,      // the file was already recorded with this result: nothing changed
    Moved,     // a copy as complete as the kept one, whose file is gone: its data now comes from
               // this file, and the gone file's row is dropped
};

// Whether a path recorded before still names a file.
using PathCheck = std::function<bool(const std::string& path)>;

// What an ingest writes. Writes happen between Begin and Commit; Commit makes a batch durable.
class IngestStore {
public:
    virtual ~IngestStore() = default;
    virtual void Begin() = 0;
    virtual void Commit() = 0;
    virtual void Rollback() = 0;  // drops the batch; never throws
    // True when `file` was recorded before with the same size and time and was read then: no
    // need to read it.
    virtual bool KnownUnchanged(const SourceFile& file) = 0;
    virtual PutOutcome PutRun(const RunRecord& run, const SourceFile& file) = 0;
    // `unread`: the file could not be read, so its size and time say nothing of its contents.
    virtual void PutProblem(const SourceFile& file, const std::string& reason, bool unread) = 0;
    // Called in a batch that wrote, before its Commit: tells the database's readers (the
    // dashboard) that data changed once the batch commits, and how many runs it stored. Engines
    // whose readers see a commit by themselves do nothing.
    virtual void AnnounceChange(long long runsStored) { static_cast<void>(runsStored); }
    // Tells the store how to learn that a run's kept file is gone (renamed, or its folder moved),
    // so that a copy found elsewhere takes its place. Without it every kept file is taken to be
    // there.
    void SetPathCheck(PathCheck check) { pathCheck_ = std::move(check); }
    // The rows of the file `from`, or of every file under the folder `from`, follow it to `to`
    // (renamed): a row that was at the new path (a file the rename replaced) goes.
    virtual void MovePaths(const std::string& from, const std::string& to) {
        static_cast<void>(from);
        static_cast<void>(to);
    }

protected:
    PathCheck pathCheck_;
};

// The tallies the answers read (kept at ingest) against what the stored rows give: every row
// that differs, on either side, is a difference.
constexpr char kStoredNotGiven[] = "stored, not what the rows give";
constexpr char kGivenNotStored[] = "the rows give, not stored";
constexpr long long kShownDifferences = 20;
struct TallyCheckResult {
    long long runs = 0;
    long long differences = 0;
    std::vector<std::string> shown;   // the first kShownDifferences, "table side: values"
    std::vector<std::string> tables;  // what was compared, "table (columns)"
};

// The stations (or hosts of runs without one), the hosts and the span of days stored.
struct StoredChoices {
    std::vector<std::string> stations;
    std::vector<std::string> hosts;
    std::string firstDay, lastDay;  // "" when no run has a day
};

// What the reports, board and exports read. Runs come in the order they were first stored, each
// with its ports.
class ReadStore {
public:
    virtual ~ReadStore() = default;
    virtual void ForEachRun(const RunFilter& filter, const RunSink& take) = 0;
    // The runs of the filter a report reads one by one beside the tallies, each with only what
    // it reads of them: the failed runs, with their kept causes, and the runs of an unset clock
    // or with an intermittent port; each with its intermittent ports. Others may come too.
    virtual void ForEachNotableRun(const RunFilter& filter, const RunSink& take) {
        ForEachRun(filter, take);
    }
    // Whether the store keeps the port tallies; without them a report counts the runs' ports.
    virtual bool KeepsTallies() { return false; }
    // The port tallies of the filter's days, hosts and stations, in no set order.
    virtual void ForEachPortTally(const RunFilter& filter, const PortTallySink& take) {
        static_cast<void>(filter);
        static_cast<void>(take);
    }
    // The boards (processor IDs) whose complete runs of the filter at `station` (a run's station,
    // or its host without one) tested the port named `port`; asked of a store that keeps tallies,
    // whose runs come without their passed ports.
    virtual long long BoardsTestingPort(const RunFilter& filter, const std::string& station,
                                        const std::string& port) {
        static_cast<void>(filter);
        static_cast<void>(station);
        static_cast<void>(port);
        return 0;
    }
    // The runs per day, host, station and verdict of the filter, in no set order.
    virtual void ForEachRunTally(const RunFilter& filter, const RunTallySink& take) {
        static_cast<void>(filter);
        static_cast<void>(take);
    }
    // The boards whose first run the filter selects (by that run's day, host and station), in no
    // set order.
    virtual void ForEachBoard(const RunFilter& filter, const BoardSink& take) {
        static_cast<void>(filter);
        static_cast<void>(take);
    }
    // The same boards split: the plain ones (one run, which passed) counted per day, host and
    // station, and the others one by one; in no set order.
    virtual void ForEachPlainBoards(const RunFilter& filter, const PlainBoardsSink& take) {
        static_cast<void>(filter);
        static_cast<void>(take);
    }
    virtual void ForEachNotableBoard(const RunFilter& filter, const BoardSink& take) {
        ForEachBoard(filter, take);
    }
    // The kept tallies compared with the rows.
    virtual TallyCheckResult CheckTallies() { return {}; }
    // The analogue readings (measurements in V) by name and value: each distinct value once, with
    // how many readings have it (the NamedValue's run ID and outcome are not set).
    virtual void ForEachVoltReading(const RunFilter& filter, const ReadingSink& take) = 0;
    virtual std::vector<long long> RunIds(const RunFilter& filter) = 0;
    // The IDs of the `n` runs stored last, of any day, newest first.
    virtual std::vector<long long> NewestRunIds(long long n) = 0;
    // Those runs' summaries, newest first, each with only its failed ports (in LoadRun's order):
    // what a list of the latest runs shows, without reading their measurements.
    virtual std::vector<RunSummary> NewestRuns(long long n) = 0;
    // Runs of the filter's host (or of all hosts) whose stamp gives no day, whatever its days.
    virtual long long CountRunsWithoutDay(const RunFilter& filter) = 0;
    virtual std::vector<long long> RunIdsOfChip(const std::string& chipId) = 0;  // newest first
    // The stored processor IDs that are `chipId` in any case, with or without a leading 0x; in
    // byte order.
    virtual std::vector<std::string> ChipIdsLike(const std::string& chipId) = 0;
    virtual RunRecord LoadRun(long long id) = 0;
    // The failing results of the runs `ids` (ascending, each once), in that order: each run read
    // through its key, in lists of many runs, not run by run. A run that passed gives no ports.
    virtual void ForEachFailing(const std::vector<long long>& ids, const FailingSink& take) = 0;
    virtual std::vector<SourceRow> SourcesOf(long long runId) = 0;
    virtual std::vector<SourceRow> ProblemFiles() = 0;
    // Each station's newest log file time over the runs of the days from `sinceDay` on, by
    // station name.
    virtual std::vector<StationUpload> StationUploads(const std::string& sinceDay) = 0;
    // The dispositions of the processor ID `chipId` (as stored), oldest first.
    virtual std::vector<Disposition> DispositionsOf(const std::string& chipId) {
        static_cast<void>(chipId);
        return {};
    }
    // Each board's latest disposition, by processor ID.
    virtual void ForEachLatestDisposition(const DispositionSink& take) { static_cast<void>(take); }
    // The newest `n` alarms, newest first.
    virtual std::vector<AlarmRow> AlarmHistory(long long n) = 0;
    // What there is to select, for a selection that found nothing.
    virtual StoredChoices Choices() { return {}; }
    // The server and database a connection reached, for people (never a password); "" for a
    // database that is a file.
    virtual std::string ServerName() { return std::string(); }
};

// One database engine: every side over one connection, and the repair desk's one write.
class RunStore : public IngestStore, public ReadStore, public AlarmStore {
public:
    // Records `asked` (its processor ID as stored, status, note, who and when; checked with
    // CheckDisposition) in a batch of its own, against the board's newest run, and tells the
    // readers. None, and nothing written, when the board has no stored run.
    virtual std::optional<Disposition> Dispose(const Disposition& asked) = 0;
};

// What a store is opened for, and so what it does with the schema it finds.
enum class SchemaUse {
    Read,     // the tables of this version must be there
    Upgrade,  // tables of an older version are upgraded; a database without them is refused
    Create,   // the tables are made when missing, upgraded when older
};

// A report's rows read from `store` through `filter` (kept by value); `store` must outlive them.
// `tallies`: the ports, runs and boards from the store's tallies where it keeps them (what a
// report over many runs reads), else every stored run (the builder selects).
ReportRows ReportRowsOf(ReadStore& store, const RunFilter& filter, bool tallies = false);

}  // namespace yield
