// The store's logic, once for every engine: what a run's copies weigh, which copy is kept, how
// the reports read. Uniqueness is left to the database: a run is inserted with a conflict clause
// on its key, and a copy weighed only once its run's row is held.
#include <limits>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "calendar.h"
#include "sqlConnection.h"
#include "sqlRunRow.h"
#include "sqlStmt.h"

namespace yield {
namespace {

// A problem whose file could not be read: its size and time never make it "unchanged".
constexpr char kRoleUnread[] = "unread";
constexpr char kRoleKept[] = "kept";
constexpr char kRoleCopy[] = "copy";
// The outcome of the measurements kFailedMeasurementsOfRunSpan reads.
constexpr char kFailedOutcome[] = "fail";

// A stored run as the weighing of copies sees it.
struct StoredRun {
    long long id = 0;
    bool complete = false;
    int records = 0;
    long long bytes = 0;
    std::string station;
};

constexpr char kSchemaLead[] = "database schema version ";
constexpr char kNewerSchema[] = " is newer than this tool's ";
constexpr char kOlderSchema[] = " is older than this tool's ";
constexpr char kUpgradeHint[] = ": an ingest into it upgrades it";
constexpr char kNoRuns[] = "database has no runs yet: ingest into it first";

std::string SchemaMessage(long long version, const char* relation, const char* hint = "") {
    return kSchemaLead + std::to_string(version) + relation + std::to_string(sql::kSchemaVersion) +
           hint;
}

class SqlStore : public RunStore {
public:
    SqlStore(std::unique_ptr<SqlConnection> conn, bool create)
        : conn_(std::move(conn)), d_(conn_->Dialect()) {
        Migrate(create);
    }

    void Begin() override { conn_->Begin(); }
    void Commit() override { conn_->Commit(); }
    void Rollback() override { conn_->Rollback(); }
    void AnnounceChange(long long runsStored) override {
        if (d_.announceRuns == nullptr) return;
        Stmt s(conn_->Prepare(d_.announceRuns));
        s.Bind(std::to_string(runsStored));
        s.Run();
    }

    bool KnownUnchanged(const SourceFile& file) override {
        std::optional<long long> copyOf;
        {
            Stmt s(conn_->Prepare(sql::kSourceByPath));
            s.Bind(file.path);
            // A station given now for a run stored without one: read again, to be given it.
            bool same = s.Step() && s.Int(0) == file.size && s.Int(1) == file.mtime &&
                        s.TextView(3) != kRoleUnread &&
                        (file.station.empty() || s.Null(2) || !s.TextView(4).empty());
            if (!same) return false;
            if (s.TextView(3) == kRoleCopy) copyOf = s.Int(2);
        }
        // A copy of a run whose kept file is gone: read again, to take its place.
        return !copyOf || !VanishedKept(*copyOf, file.path);
    }

    PutOutcome PutRun(const RunRecord& run, const SourceFile& file) override {
        std::optional<StoredRun> stored = FindRun(run);
        if (!stored) {
            if (std::optional<long long> id = InsertRun(run)) {
                InsertChildren(*id, run);
                PutSource(file, *id, kRoleKept, run);
                return PutOutcome::New;
            }
            // Another ingest stored it since: its row is now there to be held.
            stored = FindRun(run);
            if (!stored) throw StoreError("database: run key conflict without a run");
        }
        long long id = stored->id;
        int cmp = CompareCompleteness(run.Complete(), run.records, run.bytes, stored->complete,
                                      stored->records, stored->bytes);
        if (stored->station.empty() && !run.station.empty()) FillStation(id, run.station);
        std::optional<std::string> vanished;
        if (cmp >= 0) vanished = VanishedKept(id, file.path);
        if (cmp > 0 || vanished) {
            ReplaceRun(id, run, stored->station.empty() ? run.station : stored->station);
            if (vanished && !vanished->empty()) DeleteSource(*vanished);
            PutSource(file, id, kRoleKept, run);
            return cmp > 0 ? PutOutcome::Replaced : PutOutcome::Moved;
        }
        // Read with the run held, so no other ingest can be changing this run's files.
        std::optional<long long> pathRun;
        std::string pathRole;
        {
            Stmt s(conn_->Prepare(sql::kSourceByPath));
            s.Bind(file.path);
            if (s.Step() && !s.Null(2)) {
                pathRun = s.Int(2);
                pathRole = s.Text(3);
            }
        }
        bool same = pathRun && *pathRun == id;
        std::string role = same && cmp == 0 && pathRole == kRoleKept ? kRoleKept : kRoleCopy;
        PutSource(file, id, role, run);
        return same && role == pathRole ? PutOutcome::Same : PutOutcome::Copy;
    }

    void MovePaths(const std::string& from, const std::string& to) override {
        std::vector<std::string> paths;
        {
            Stmt s(conn_->Prepare(sql::kSourcesUnder));
            s.Bind(from, from + "/", from + "0");
            while (s.Step()) paths.push_back(s.Text(0));
        }
        for (const std::string& path : paths) {
            std::string moved = to + path.substr(from.size());
            DeleteSource(moved);
            Stmt s(conn_->Prepare(sql::kRenameSource));
            s.Bind(moved, path);
            s.Run();
        }
    }

    void PutProblem(const SourceFile& file, const std::string& reason, bool unread) override {
        Stmt s(conn_->Prepare(sql::kUpsertSource));
        s.Bind(file.path, file.size, file.mtime, std::optional<long long>(),
               unread ? kRoleUnread : "problem", reason, false, 0, file.sha256);
        s.Run();
    }

    void ForEachRun(const RunFilter& filter, const RunSink& take) override {
        // Two scans in run order merged here: far cheaper than a join that repeats each run's
        // columns on every port row.
        auto [first, last] = RunIdSpan(filter);
        if (first > last) return;
        Stmt runs(conn_->PrepareScan(sql::kRunsByFilter));
        runs.Bind(filter.since, filter.until, filter.host, filter.station, first, last);
        Stmt ports(conn_->PrepareScan(sql::kPortsOfRunSpan));
        ports.Bind(first, last);
        RunScan portScan(ports);
        RunSummary cur;
        while (runs.Step()) {
            cur.id = runs.Int(0);
            cur.host.assign(runs.TextView(1));
            cur.chipId.assign(runs.TextView(2));
            cur.timeStamp.assign(runs.TextView(3));
            cur.day.assign(runs.TextView(4));
            cur.hour = StampHour(cur.timeStamp);
            cur.verdict = VerdictOf(runs.TextView(5));
            cur.station.assign(runs.TextView(6));
            size_t n = 0;  // the port list and its strings are reused from run to run
            for (; portScan.At(cur.id); portScan.Next()) {
                if (n == cur.ports.size()) cur.ports.emplace_back();
                PortResult& p = cur.ports[n++];
                p.family.assign(ports.TextView(1));
                p.number = static_cast<int>(ports.Int(2));
                p.passed = ports.Int(3) != 0;
                p.intermittent = ports.Int(4) != 0;
            }
            cur.ports.resize(n);
            take(cur);
        }
    }

    void ForEachVoltReading(const RunFilter& filter, const ReadingSink& take) override {
        bool all = filter.since.empty() && filter.until.empty() && filter.host.empty() &&
                   filter.station.empty();
        Stmt s(conn_->PrepareScan(all ? sql::kVoltReadings : sql::kVoltReadingsFiltered));
        if (!all) s.Bind(filter.since, filter.until, filter.host, filter.station);
        NamedValue v;
        while (s.Step()) {
            v.name.assign(s.TextView(0));
            v.value = s.Real(1);
            take(v, s.Int(2));
        }
    }

    std::vector<long long> RunIds(const RunFilter& filter) override {
        Stmt s(conn_->PrepareScan(sql::kRunIds));
        s.Bind(filter.since, filter.until, filter.host, filter.station);
        return Ids(s);
    }

    std::vector<long long> NewestRunIds(long long n) override {
        Stmt s(conn_->Prepare(sql::kNewestRunIds));
        s.Bind(n);
        return Ids(s);
    }

    std::vector<RunSummary> NewestRuns(long long n) override {
        std::vector<RunSummary> out;
        {
            Stmt s(conn_->Prepare(sql::kNewestRuns));
            s.Bind(n);
            while (s.Step()) out.push_back(SummaryOf(s));
        }
        if (out.empty()) return out;
        Stmt ports(conn_->PrepareScan(sql::kFailedPortsOfRunSpan));
        ports.Bind(out.back().id, out.front().id);
        RunScan portScan(ports);
        for (auto run = out.rbegin(); run != out.rend(); ++run) {
            for (; portScan.At(run->id); portScan.Next())
                run->ports.push_back(PortResult{ports.Text(1), static_cast<int>(ports.Int(2)),
                                                false, ports.Int(3) != 0});
        }
        return out;
    }

    long long CountRunsWithoutDay(const RunFilter& filter) override {
        Stmt s(conn_->Prepare(sql::kRunsWithoutDay));
        s.Bind(filter.host, filter.station);
        return s.Step() ? s.Int(0) : 0;
    }

    std::vector<long long> RunIdsOfChip(const std::string& chipId) override {
        Stmt s(conn_->Prepare(sql::kRunIdsOfChip));
        s.Bind(chipId);
        return Ids(s);
    }

    std::vector<std::string> ChipIdsLike(const std::string& chipId) override {
        Stmt s(conn_->Prepare(sql::kChipIdsLike));
        s.Bind(chipId);
        std::vector<std::string> out;
        while (s.Step()) out.push_back(s.Text(0));
        return out;
    }

    RunRecord LoadRun(long long id) override {
        RunRecord run;
        LoadRunRow(id, run);
        LoadPorts(id, run);
        LoadTallies(id, run);
        LoadMeasurements(id, run);
        LoadFailures(id, run);
        return run;
    }

    void ForEachFailing(const std::vector<long long>& ids, const FailingSink& take) override {
        if (ids.empty()) return;
        Stmt ports(conn_->PrepareScan(sql::kFailedPortsOfRunSpan));
        Stmt values(conn_->PrepareScan(sql::kFailedMeasurementsOfRunSpan));
        Stmt lines(conn_->PrepareScan(sql::kFailureLinesOfRunSpan));
        for (Stmt* s : {&ports, &values, &lines}) s->Bind(ids.front(), ids.back());
        RunScan portScan(ports), valueScan(values), lineScan(lines);
        RunRecord run;
        for (long long id : ids) {
            run.ports.clear();
            run.measurements.clear();
            run.failures.clear();
            for (; portScan.At(id); portScan.Next()) {
                run.ports.push_back(PortResult{ports.Text(1), static_cast<int>(ports.Int(2)), false,
                                               ports.Int(3) != 0});
            }
            for (; valueScan.At(id); valueScan.Next())
                run.measurements.push_back(FailedValue(values));
            for (; lineScan.At(id); lineScan.Next()) {
                run.failures.push_back(
                    FailureLine{static_cast<int>(lines.Int(1)), lines.Text(2), lines.Text(3)});
            }
            take(id, run);
        }
    }

    std::vector<SourceRow> SourcesOf(long long runId) override {
        Stmt s(conn_->Prepare(sql::kSourcesOfRun));
        s.Bind(runId);
        return Sources(s);
    }

    std::vector<SourceRow> ProblemFiles() override {
        Stmt s(conn_->PrepareScan(sql::kProblemFiles));
        return Sources(s);
    }

private:
    long long SchemaVersion() {
        if (d_.hasSchema != nullptr) {
            Stmt s(conn_->Prepare(d_.hasSchema));
            if (!s.Step() || s.Int(0) == 0) return 0;
        }
        Stmt s(conn_->Prepare(d_.getVersion));
        return s.Step() ? s.Int(0) : 0;
    }

    static void RefuseNewer(long long version) {
        if (version > sql::kSchemaVersion) throw StoreError(SchemaMessage(version, kNewerSchema));
    }

    // A reader takes only a database of this version; a writer makes the tables or upgrades
    // them, once: the version is read again under the write lock, since another ingest may have
    // done it meanwhile. A writer also makes the indexes added since a database of this version
    // was made.
    void Migrate(bool create) {
        long long version = SchemaVersion();
        RefuseNewer(version);
        if (version == sql::kSchemaVersion) {
            if (create && !HasIndex(sql::kNewestIndex)) MakeIndexes();
            if (create) ClearNonDays();
            return;
        }
        if (!create) {
            throw StoreError(version == 0 ? kNoRuns
                                          : SchemaMessage(version, kOlderSchema, kUpgradeHint));
        }
        BeginSchemaChange();
        version = SchemaVersion();
        RefuseNewer(version);
        if (version == 0) {
            for (size_t i = 0; i < d_.schemaSize; ++i) conn_->Exec(d_.schema[i]);
        } else if (version == sql::kFirstSchemaVersion) {
            for (size_t i = 0; i < d_.upgrade1Size; ++i) conn_->Exec(d_.upgrade1[i]);
        }
        if (version != sql::kSchemaVersion) conn_->Exec(d_.setVersion);
        conn_->Commit();
    }

    // The first and last ID of the runs the filter's days can hold (every ID without a day
    // bound); first above last when they hold none.
    std::pair<long long, long long> RunIdSpan(const RunFilter& filter) {
        if (!filter.HasDayBound())
            return {std::numeric_limits<long long>::min(), std::numeric_limits<long long>::max()};
        Stmt s(conn_->Prepare(sql::kRunIdSpan));
        s.Bind(filter.since, filter.until.empty() ? sql::kLastDay : filter.until.c_str());
        if (!s.Step() || s.Null(0)) return {1, 0};
        return {s.Int(0), s.Int(1)};
    }

    // The batch that changes the schema, held alone where the engine needs telling.
    void BeginSchemaChange() {
        conn_->Begin();
        if (d_.schemaLock == nullptr) return;
        Stmt lock(conn_->Prepare(d_.schemaLock));
        lock.Run();
    }

    // Asked before making any: PostgreSQL locks a table against writes for CREATE INDEX even
    // when the index is there.
    bool HasIndex(const char* name) {
        Stmt s(conn_->Prepare(d_.hasIndex));
        s.Bind(name);
        return s.Step() && s.Int(0) > 0;
    }

    // A stamp such as 9999_99_99 was once stored with that day; the day goes, as a new ingest of
    // the log would store it.
    void ClearNonDays() {
        std::vector<std::string> wrong;
        {
            Stmt s(conn_->Prepare(sql::kStoredDays));
            while (s.Step())
                if (!IsDay(s.Text(0))) wrong.push_back(s.Text(0));
        }
        if (wrong.empty()) return;
        conn_->Begin();
        for (const std::string& day : wrong) Stmt(conn_->Prepare(sql::kClearDay)).Bind(day).Run();
        conn_->Commit();
    }

    void MakeIndexes() {
        BeginSchemaChange();
        for (const char* text : sql::kIndexes) conn_->Exec(text);
        conn_->Commit();
    }

    // The stored run with `run`'s key, held until the batch ends where the engine holds rows.
    std::optional<StoredRun> FindRun(const RunRecord& run) {
        Stmt s(conn_->Prepare(d_.runByKeyLocked));
        s.Bind(run.host, run.chipId, run.timeStamp);
        if (!s.Step()) return std::nullopt;
        return StoredRun{s.Int(0), VerdictOf(s.TextView(1)) != Verdict::Incomplete,
                         static_cast<int>(s.Int(2)), s.Int(3), s.Text(4)};
    }

    // The new run's ID, or nothing when a run with its key is there already.
    std::optional<long long> InsertRun(const RunRecord& run) {
        Stmt s(conn_->Prepare(sql::InsertRunText()));
        BindRunColumns(s, run, run.station);
        if (!s.Step()) return std::nullopt;
        return s.Int(0);
    }

    void FillStation(long long id, const std::string& station) {
        Stmt s(conn_->Prepare(sql::kFillStation));
        s.Bind(station, id);
        s.Run();
    }

    // The run's station stays the one stored first.
    void ReplaceRun(long long id, const RunRecord& run, const std::string& station) {
        conn_->Flush();  // rows of this run still waiting must be gone with the rest
        for (const char* text : sql::kDeleteRunChildren) {
            Stmt d(conn_->Prepare(text));
            d.Bind(id);
            d.Run();
        }
        {
            Stmt s(conn_->Prepare(sql::UpdateRunText()));
            BindRunColumns(s, run, station);
            s.Bind(id);
            s.Run();
        }
        Stmt demote(conn_->Prepare(sql::kDemoteKeptCopy));
        demote.Bind(id);
        demote.Run();
        InsertChildren(id, run);
    }

    // A port or tally named twice keeps its first row.
    void InsertChildren(long long id, const RunRecord& run) {
        std::set<std::pair<std::string_view, int>> ports;
        SqlRows& portRows = conn_->Rows(sql::kPortRows);
        for (const PortResult& p : run.ports) {
            if (ports.emplace(p.family, p.number).second)
                AddRow(portRows, id, p.family, p.number, p.passed, p.intermittent);
        }
        std::set<std::tuple<std::string_view, int, std::string_view>> tallies;
        SqlRows& tallyRows = conn_->Rows(sql::kTallyRows);
        for (const PortTally& t : run.tallies) {
            if (tallies.emplace(t.family, t.number, t.variant).second)
                AddRow(tallyRows, id, t.family, t.number, t.variant, t.succ, t.err);
        }
        int seq = 0;
        SqlRows& measurementRows = conn_->Rows(sql::kMeasurementRows);
        for (const Measurement& m : run.measurements) {
            AddRow(measurementRows, id, seq++, m.cycle, m.port, m.name, m.value, m.text, m.unit,
                   m.hasLimits ? std::optional<double>(m.low) : std::nullopt,
                   m.hasLimits ? std::optional<double>(m.high) : std::nullopt, m.outcome, m.line);
        }
        seq = 0;
        SqlRows& failureRows = conn_->Rows(sql::kFailureRows);
        for (const FailureLine& f : run.failures)
            AddRow(failureRows, id, seq++, f.cycle, f.port, f.line);
    }

    // The path of run `id`'s kept file when that file is gone and is not `path` ("" when the run
    // has no kept file: a rename replaced it); nothing when it is there, or when the store was
    // not told how to look (SetPathCheck).
    std::optional<std::string> VanishedKept(long long id, const std::string& path) {
        if (!pathCheck_) return std::nullopt;
        std::string kept;
        {
            Stmt s(conn_->Prepare(sql::kKeptSourceOfRun));
            s.Bind(id);
            if (!s.Step()) return std::string();
            kept = s.Text(0);
        }
        if (kept == path || pathCheck_(kept)) return std::nullopt;
        return kept;
    }

    void DeleteSource(const std::string& path) {
        Stmt s(conn_->Prepare(sql::kDeleteSource));
        s.Bind(path);
        s.Run();
    }

    void PutSource(const SourceFile& file, long long id, const std::string& role,
                   const RunRecord& run) {
        Stmt s(conn_->Prepare(sql::kUpsertSource));
        s.Bind(file.path, file.size, file.mtime, id, role, "", run.Complete(), run.records,
               file.sha256);
        s.Run();
    }

    void LoadRunRow(long long id, RunRecord& run) {
        Stmt s(conn_->Prepare(sql::RunByIdText()));
        s.Bind(id);
        if (!s.Step()) throw StoreError("database: no run " + std::to_string(id));
        ReadRunColumns(s, run);
    }

    void LoadPorts(long long id, RunRecord& run) {
        Stmt s(conn_->Prepare(sql::kPortsOfRun));
        s.Bind(id);
        while (s.Step()) {
            run.ports.push_back(
                PortResult{s.Text(0), static_cast<int>(s.Int(1)), s.Int(2) != 0, s.Int(3) != 0});
        }
    }

    void LoadTallies(long long id, RunRecord& run) {
        Stmt s(conn_->Prepare(sql::kTalliesOfRun));
        s.Bind(id);
        while (s.Step()) {
            run.tallies.push_back(PortTally{s.Text(0), static_cast<int>(s.Int(1)), s.Text(2),
                                            static_cast<int>(s.Int(3)),
                                            static_cast<int>(s.Int(4))});
        }
    }

    void LoadMeasurements(long long id, RunRecord& run) {
        Stmt s(conn_->Prepare(sql::kMeasurementsOfRun));
        s.Bind(id);
        while (s.Step()) {
            Measurement m;
            m.cycle = static_cast<int>(s.Int(0));
            m.port = s.Text(1);
            m.name = s.Text(2);
            m.value = s.Real(3);
            m.text = s.Text(4);
            m.unit = s.Text(5);
            ReadLimits(s, 6, m);
            m.outcome = s.Text(8);
            m.line = s.Text(9);
            run.measurements.push_back(std::move(m));
        }
    }

    void LoadFailures(long long id, RunRecord& run) {
        Stmt s(conn_->Prepare(sql::kFailuresOfRun));
        s.Bind(id);
        while (s.Step()) {
            run.failures.push_back(FailureLine{static_cast<int>(s.Int(0)), s.Text(1), s.Text(2)});
        }
    }

    // The limits in columns `low` and `low` + 1, NULL when the value had none.
    static void ReadLimits(Stmt& s, int low, Measurement& m) {
        m.hasLimits = !s.Null(low);
        m.low = m.hasLimits ? s.Real(low) : 0;
        m.high = m.hasLimits ? s.Real(low + 1) : 0;
    }

    // A row of kFailedMeasurementsOfRunSpan.
    static Measurement FailedValue(Stmt& s) {
        Measurement m;
        m.port = s.Text(1);
        m.value = s.Real(2);
        m.unit = s.Text(3);
        ReadLimits(s, 4, m);
        m.outcome = kFailedOutcome;
        return m;
    }

    // A row of kNewestRuns, without its ports.
    static RunSummary SummaryOf(Stmt& s) {
        RunSummary run;
        run.id = s.Int(0);
        run.host = s.Text(1);
        run.chipId = s.Text(2);
        run.timeStamp = s.Text(3);
        run.day = s.Text(4);
        run.hour = StampHour(run.timeStamp);
        run.verdict = VerdictOf(s.TextView(5));
        run.station = s.Text(6);
        return run;
    }

    static std::vector<long long> Ids(Stmt& s) {
        std::vector<long long> out;
        while (s.Step()) out.push_back(s.Int(0));
        return out;
    }

    static std::vector<SourceRow> Sources(Stmt& s) {
        std::vector<SourceRow> out;
        while (s.Step()) {
            out.push_back(SourceRow{s.Text(0), s.Int(1), s.Text(2), s.Text(3), s.Int(4) != 0,
                                    static_cast<int>(s.Int(5)), s.Text(6)});
        }
        return out;
    }

    std::unique_ptr<SqlConnection> conn_;
    const sql::Dialect& d_;
};

}  // namespace

std::unique_ptr<RunStore> OpenSqlStore(std::unique_ptr<SqlConnection> conn, bool create) {
    return std::make_unique<SqlStore>(std::move(conn), create);
}

}  // namespace yield
