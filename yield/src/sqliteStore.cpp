#include <sqlite3.h>

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "sqlText.h"
#include "store.h"

namespace yield {
namespace {

// One prepared statement, reset after each use.
class Stmt {
public:
    Stmt(sqlite3* db, sqlite3_stmt* st) : db_(db), st_(st) {}
    ~Stmt() {
        sqlite3_reset(st_);
        sqlite3_clear_bindings(st_);
    }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;

    Stmt& Bind(long long v) { return Check(sqlite3_bind_int64(st_, ++at_, v)); }
    Stmt& Bind(int v) { return Bind(static_cast<long long>(v)); }
    Stmt& Bind(bool v) { return Bind(v ? 1LL : 0LL); }
    Stmt& Bind(double v) { return Check(sqlite3_bind_double(st_, ++at_, v)); }
    Stmt& Bind(const std::string& v) {
        return Check(
            sqlite3_bind_text(st_, ++at_, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT));
    }
    template <class T>
    Stmt& Bind(const std::optional<T>& v) {
        if (v) return Bind(*v);
        return Check(sqlite3_bind_null(st_, ++at_));
    }

    // True while rows come; false when done.
    bool Step() {
        int rc = sqlite3_step(st_);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        throw StoreError(std::string("database: ") + sqlite3_errmsg(db_));
    }
    void Run() {
        while (Step()) {
        }
    }

    long long Int(int col) const { return sqlite3_column_int64(st_, col); }
    double Real(int col) const { return sqlite3_column_double(st_, col); }
    bool Null(int col) const { return sqlite3_column_type(st_, col) == SQLITE_NULL; }
    std::string Text(int col) const { return std::string(TextView(col)); }
    // Valid until the next step.
    std::string_view TextView(int col) const {
        const void* p = sqlite3_column_blob(st_, col);
        int n = sqlite3_column_bytes(st_, col);
        return p == nullptr ? std::string_view() : std::string_view(static_cast<const char*>(p),
                                                                    static_cast<size_t>(n));
    }

private:
    Stmt& Check(int rc) {
        if (rc != SQLITE_OK) throw StoreError(std::string("database: ") + sqlite3_errmsg(db_));
        return *this;
    }
    sqlite3* db_;
    sqlite3_stmt* st_;
    int at_ = 0;
};

Verdict VerdictOf(const std::string& word) {
    if (word == "OK") return Verdict::Ok;
    if (word == "ERR") return Verdict::Err;
    return Verdict::Incomplete;
}

int Count(const RunRecord& run, const char* family) {
    auto it = run.counts.find(family);
    return it == run.counts.end() ? -1 : it->second;
}

void PutCount(RunRecord& run, const char* family, long long n) {
    if (n >= 0) run.counts[family] = static_cast<int>(n);
}

constexpr const char* kCountFamilies[] = {"RS485", "RS232", "DO", "DI", "AI", "USB", "LED"};

class SqliteStore : public RunStore {
public:
    SqliteStore(const std::string& path, bool create) {
        // SQLite takes an empty name for a private temporary database, dropped at the close.
        if (path.empty()) throw StoreError("cannot open database: no file name");
        // One thread uses the connection: no lock around every call.
        int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
        int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
        if (rc != SQLITE_OK) {
            std::string why = db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory";
            sqlite3_close(db_);
            db_ = nullptr;
            throw StoreError("cannot open database " + path + ": " + why);
        }
        try {
            Exec(sql::kSqliteBusy);
            Exec(sql::kSqliteWal);
            Exec(sql::kSqliteSync);
            Migrate();
        } catch (...) {
            Close();  // a file that is not a database: the destructor will not run
            throw;
        }
    }
    ~SqliteStore() override { Close(); }

    void Begin() override {
        Exec(sql::kSqliteBegin);
        inTx_ = true;
    }
    void Commit() override {
        Exec(sql::kCommit);
        inTx_ = false;
    }

    bool KnownUnchanged(const SourceFile& file) override {
        Stmt s = Prepare(sql::kSourceByPath);
        s.Bind(file.path);
        return s.Step() && s.Int(0) == file.size && s.Int(1) == file.mtime;
    }

    PutOutcome PutRun(const RunRecord& run, const SourceFile& file) override {
        std::optional<long long> pathRun;
        std::string pathRole;
        {
            Stmt s = Prepare(sql::kSourceByPath);
            s.Bind(file.path);
            if (s.Step() && !s.Null(2)) {
                pathRun = s.Int(2);
                pathRole = s.Text(3);
            }
        }
        Stmt find = Prepare(sql::kRunByKey);
        find.Bind(run.host).Bind(run.chipId).Bind(run.timeStamp);
        if (!find.Step()) {
            long long id = InsertRun(run);
            PutSource(file, id, "kept", run);
            return PutOutcome::New;
        }
        long long id = find.Int(0);
        int cmp = CompareCompleteness(run.Complete(), run.records, run.bytes,
                                      VerdictOf(find.Text(1)) != Verdict::Incomplete,
                                      static_cast<int>(find.Int(2)), find.Int(3));
        if (cmp > 0) {
            ReplaceRun(id, run);
            PutSource(file, id, "kept", run);
            return PutOutcome::Replaced;
        }
        bool same = pathRun && *pathRun == id;
        std::string role = same && cmp == 0 && pathRole == "kept" ? "kept" : "copy";
        PutSource(file, id, role, run);
        return same && role == pathRole ? PutOutcome::Same : PutOutcome::Copy;
    }

    void PutProblem(const SourceFile& file, const std::string& reason) override {
        Stmt s = Prepare(sql::kUpsertSource);
        s.Bind(file.path).Bind(file.size).Bind(file.mtime).Bind(std::optional<long long>());
        s.Bind(std::string("problem")).Bind(reason).Bind(false).Bind(0);
        s.Run();
    }

    void ForEachRun(const RunFilter& filter,
                    const std::function<void(const RunSummary&)>& take) override {
        // Two scans in run order merged here: far cheaper than a join that repeats each run's
        // columns on every port row.
        Stmt runs = Prepare(sql::kRunsByFilter);
        runs.Bind(filter.since).Bind(filter.until).Bind(filter.host);
        Stmt ports = Prepare(sql::kAllPorts);
        bool havePort = ports.Step();
        RunSummary cur;
        while (runs.Step()) {
            cur.id = runs.Int(0);
            cur.host.assign(runs.TextView(1));
            cur.chipId.assign(runs.TextView(2));
            cur.timeStamp.assign(runs.TextView(3));
            cur.day.assign(runs.TextView(4));
            cur.verdict = VerdictOf(runs.Text(5));
            size_t n = 0;  // the port list and its strings are reused from run to run
            while (havePort && ports.Int(0) < cur.id) havePort = ports.Step();
            for (; havePort && ports.Int(0) == cur.id; havePort = ports.Step()) {
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

    void ForEachVoltReading(const RunFilter& filter,
                            const std::function<void(const NamedValue&, long long)>& take) override {
        bool all = filter.since.empty() && filter.until.empty() && filter.host.empty();
        Stmt s = Prepare(all ? sql::kVoltReadings : sql::kVoltReadingsFiltered);
        if (!all) s.Bind(filter.since).Bind(filter.until).Bind(filter.host);
        NamedValue v;
        while (s.Step()) {
            v.name.assign(s.TextView(0));
            v.value = s.Real(1);
            take(v, s.Int(2));
        }
    }

    std::vector<long long> RunIds(const RunFilter& filter) override {
        Stmt s = Prepare(sql::kRunIds);
        s.Bind(filter.since).Bind(filter.until).Bind(filter.host);
        return Ids(s);
    }

    std::vector<long long> RunIdsOfChip(const std::string& chipId) override {
        Stmt s = Prepare(sql::kRunIdsOfChip);
        s.Bind(chipId);
        return Ids(s);
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

    std::vector<SourceRow> SourcesOf(long long runId) override {
        Stmt s = Prepare(sql::kSourcesOfRun);
        s.Bind(runId);
        return Sources(s);
    }

    std::vector<SourceRow> ProblemFiles() override {
        Stmt s = Prepare(sql::kProblemFiles);
        return Sources(s);
    }

private:
    void Close() {
        if (inTx_) sqlite3_exec(db_, sql::kRollback, nullptr, nullptr, nullptr);
        for (auto& kv : stmts_) sqlite3_finalize(kv.second);
        stmts_.clear();
        sqlite3_close(db_);
        db_ = nullptr;
    }

    void Exec(const char* text) {
        char* err = nullptr;
        if (sqlite3_exec(db_, text, nullptr, nullptr, &err) != SQLITE_OK) {
            std::string why = err != nullptr ? err : "unknown error";
            sqlite3_free(err);
            throw StoreError("database: " + why);
        }
    }

    Stmt Prepare(const char* text) {
        sqlite3_stmt*& st = stmts_[text];
        if (st == nullptr && sqlite3_prepare_v3(db_, text, -1, SQLITE_PREPARE_PERSISTENT, &st,
                                                nullptr) != SQLITE_OK) {
            throw StoreError(std::string("database: ") + sqlite3_errmsg(db_));
        }
        return Stmt(db_, st);
    }

    void Migrate() {
        long long version = 0;
        {
            Stmt s = Prepare(sql::kSqliteGetVersion);
            if (s.Step()) version = s.Int(0);
        }
        if (version > sql::kSchemaVersion) {
            throw StoreError("database schema version " + std::to_string(version) +
                             " is newer than this tool's " + std::to_string(sql::kSchemaVersion));
        }
        if (version == sql::kSchemaVersion) return;
        Begin();
        for (const char* text : sql::kSchema) Exec(text);
        Exec(sql::kSqliteSetVersion);
        Commit();
    }

    template <class S>
    void BindRunColumns(S& s, const RunRecord& run) {
        s.Bind(run.host).Bind(run.chipId).Bind(run.timeStamp).Bind(run.Day());
        s.Bind(run.startedAt).Bind(run.endedAt).Bind(run.args).Bind(run.build).Bind(run.version);
        s.Bind(run.testMode).Bind(run.portSelect).Bind(run.cyclesAsked).Bind(run.cyclesRun);
        for (const char* f : kCountFamilies) s.Bind(Count(run, f));
        s.Bind(std::string(VerdictWord(run.verdict)));
        s.Bind(run.hasVerdictCode ? std::optional<long long>(run.verdictCode) : std::nullopt);
        s.Bind(run.headerless).Bind(run.records).Bind(run.bytes).Bind(run.resultDoc);
    }

    long long InsertRun(const RunRecord& run) {
        long long id = 0;
        {
            Stmt s = Prepare(sql::kInsertRun);
            BindRunColumns(s, run);
            if (s.Step()) id = s.Int(0);
        }
        InsertChildren(id, run);
        return id;
    }

    void ReplaceRun(long long id, const RunRecord& run) {
        for (const char* text : sql::kDeleteRunChildren) {
            Stmt d = Prepare(text);
            d.Bind(id);
            d.Run();
        }
        {
            Stmt s = Prepare(sql::kUpdateRun);
            BindRunColumns(s, run);
            s.Bind(id);
            s.Run();
        }
        Stmt demote = Prepare(sql::kDemoteKeptCopy);
        demote.Bind(id);
        demote.Run();
        InsertChildren(id, run);
    }

    void InsertChildren(long long id, const RunRecord& run) {
        for (const PortResult& p : run.ports) {
            Stmt s = Prepare(sql::kInsertPort);
            s.Bind(id).Bind(p.family).Bind(p.number).Bind(p.passed).Bind(p.intermittent);
            s.Run();
        }
        for (const PortTally& t : run.tallies) {
            Stmt s = Prepare(sql::kInsertTally);
            s.Bind(id).Bind(t.family).Bind(t.number).Bind(t.variant).Bind(t.succ).Bind(t.err);
            s.Run();
        }
        int seq = 0;
        for (const Measurement& m : run.measurements) {
            Stmt s = Prepare(sql::kInsertMeasurement);
            s.Bind(id).Bind(seq++).Bind(m.cycle).Bind(m.port).Bind(m.name).Bind(m.value);
            s.Bind(m.text).Bind(m.unit);
            s.Bind(m.hasLimits ? std::optional<double>(m.low) : std::nullopt);
            s.Bind(m.hasLimits ? std::optional<double>(m.high) : std::nullopt);
            s.Bind(m.outcome).Bind(m.line);
            s.Run();
        }
        seq = 0;
        for (const FailureLine& f : run.failures) {
            Stmt s = Prepare(sql::kInsertFailure);
            s.Bind(id).Bind(seq++).Bind(f.cycle).Bind(f.port).Bind(f.line);
            s.Run();
        }
    }

    void PutSource(const SourceFile& file, long long id, const std::string& role,
                   const RunRecord& run) {
        Stmt s = Prepare(sql::kUpsertSource);
        s.Bind(file.path).Bind(file.size).Bind(file.mtime).Bind(id).Bind(role);
        s.Bind(std::string()).Bind(run.Complete()).Bind(run.records);
        s.Run();
    }

    void LoadRunRow(long long id, RunRecord& run) {
        Stmt s = Prepare(sql::kRunById);
        s.Bind(id);
        if (!s.Step()) throw StoreError("database: no run " + std::to_string(id));
        run.host = s.Text(0);
        run.chipId = s.Text(1);
        run.timeStamp = s.Text(2);
        run.startedAt = s.Text(4);
        run.endedAt = s.Text(5);
        run.args = s.Text(6);
        run.build = s.Text(7);
        run.version = s.Text(8);
        run.testMode = static_cast<int>(s.Int(9));
        run.portSelect = static_cast<int>(s.Int(10));
        run.cyclesAsked = static_cast<int>(s.Int(11));
        run.cyclesRun = static_cast<int>(s.Int(12));
        int col = 13;
        for (const char* f : kCountFamilies) PutCount(run, f, s.Int(col++));
        run.verdict = VerdictOf(s.Text(20));
        run.hasVerdictCode = !s.Null(21);
        run.verdictCode = static_cast<int>(s.Int(21));
        run.headerless = s.Int(22) != 0;
        run.records = static_cast<int>(s.Int(23));
        run.bytes = s.Int(24);
        run.resultDoc = s.Text(25);
    }

    void LoadPorts(long long id, RunRecord& run) {
        Stmt s = Prepare(sql::kPortsOfRun);
        s.Bind(id);
        while (s.Step()) {
            run.ports.push_back(
                PortResult{s.Text(0), static_cast<int>(s.Int(1)), s.Int(2) != 0, s.Int(3) != 0});
        }
    }

    void LoadTallies(long long id, RunRecord& run) {
        Stmt s = Prepare(sql::kTalliesOfRun);
        s.Bind(id);
        while (s.Step()) {
            run.tallies.push_back(PortTally{s.Text(0), static_cast<int>(s.Int(1)), s.Text(2),
                                            static_cast<int>(s.Int(3)),
                                            static_cast<int>(s.Int(4))});
        }
    }

    void LoadMeasurements(long long id, RunRecord& run) {
        Stmt s = Prepare(sql::kMeasurementsOfRun);
        s.Bind(id);
        while (s.Step()) {
            Measurement m;
            m.cycle = static_cast<int>(s.Int(0));
            m.port = s.Text(1);
            m.name = s.Text(2);
            m.value = s.Real(3);
            m.text = s.Text(4);
            m.unit = s.Text(5);
            m.hasLimits = !s.Null(6);
            m.low = s.Real(6);
            m.high = s.Real(7);
            m.outcome = s.Text(8);
            m.line = s.Text(9);
            run.measurements.push_back(std::move(m));
        }
    }

    void LoadFailures(long long id, RunRecord& run) {
        Stmt s = Prepare(sql::kFailuresOfRun);
        s.Bind(id);
        while (s.Step()) {
            run.failures.push_back(FailureLine{static_cast<int>(s.Int(0)), s.Text(1), s.Text(2)});
        }
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
                                    static_cast<int>(s.Int(5))});
        }
        return out;
    }

    sqlite3* db_ = nullptr;
    bool inTx_ = false;
    std::map<const char*, sqlite3_stmt*> stmts_;
};

}  // namespace

std::unique_ptr<RunStore> OpenSqliteStore(const std::string& path, bool create) {
    return std::make_unique<SqliteStore>(path, create);
}

}  // namespace yield
