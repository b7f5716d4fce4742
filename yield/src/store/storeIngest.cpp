#include "store/storeIngest.h"

#include <algorithm>
#include <set>
#include <tuple>
#include <vector>

#include "parse/runCauses.h"
#include "store/sqlChildRows.h"
#include "store/sqlRunRow.h"
#include "store/sqlStmt.h"

namespace yield {

namespace {

SourceFacts FactsOf(const RunRecord& run, std::optional<long long> id, const char* role) {
    return SourceFacts{id, role, "", run.Complete(), run.records};
}

}  // namespace

void SqlIngest::AnnounceChange(long long runsStored) {
    const char* announce = conn_.Dialect().announceRuns;
    if (announce == nullptr) return;
    Stmt s(conn_.Prepare(announce));
    s.Bind(std::to_string(runsStored));
    s.Run();
}

bool SqlIngest::KnownUnchanged(const SourceFile& file) {
    using S = sql::SourceColumn;
    using sql::Col;
    std::optional<long long> copyOf;
    {
        Stmt s(conn_.Prepare(sql::kSourceByPath));
        s.Bind(file.path);
        // A station given now for a run stored without one: read again, to be given it.
        bool same =
            s.Step() && s.Int(Col(S::size)) == file.size && s.Int(Col(S::mtime)) == file.mtime &&
            s.TextView(Col(S::role)) != kRoleUnread &&
            (file.station.empty() || s.Null(Col(S::run_id)) || !s.TextView(Col(S::kCount)).empty());
        if (!same) return false;
        if (s.TextView(Col(S::role)) == kRoleCopy) copyOf = s.Int(Col(S::run_id));
    }
    // A copy of a run whose kept file is gone: read again, to take its place.
    return !copyOf || !VanishedKept(*copyOf, file.path);
}

PutOutcome SqlIngest::PutRun(const RunRecord& run, const SourceFile& file) {
    std::optional<StoredRun> stored = FindRun(run);
    if (!stored) {
        if (std::optional<long long> id = InsertRun(run, file)) {
            InsertChildren(*id, run);
            newTallies_.Add(run);
            boardChips_.insert(run.chipId);
            return PutOutcome::New;
        }
        // Another ingest stored it since: its row is now there to be held.
        stored = FindRun(run);
        if (!stored) throw StoreError("database: run key conflict without a run");
    }
    long long id = stored->id;
    int cmp = CompareCompleteness(run.Complete(), run.records, run.bytes, stored->complete,
                                  stored->records, stored->bytes);
    if (stored->station.empty() && !run.station.empty()) {
        FillStation(id, run.station);
        boardChips_.insert(run.chipId);
    }
    std::optional<std::string> vanished;
    if (cmp >= 0) vanished = VanishedKept(id, file.path);
    if (cmp > 0 || vanished) {
        boardChips_.insert(run.chipId);
        ReplaceRun(id, run, stored->station.empty() ? run.station : stored->station);
        if (vanished && !vanished->empty()) DeleteSource(*vanished);
        PutSource(file, id, kRoleKept, run);
        return cmp > 0 ? PutOutcome::Replaced : PutOutcome::Moved;
    }
    // Read with the run held, so no other ingest can be changing this run's files.
    std::optional<long long> pathRun;
    std::string pathRole;
    {
        using S = sql::SourceColumn;
        Stmt s(conn_.Prepare(sql::kSourceByPath));
        s.Bind(file.path);
        if (s.Step() && !s.Null(sql::Col(S::run_id))) {
            pathRun = s.Int(sql::Col(S::run_id));
            pathRole = s.Text(sql::Col(S::role));
        }
    }
    bool same = pathRun && *pathRun == id;
    const char* role = same && cmp == 0 && pathRole == kRoleKept ? kRoleKept : kRoleCopy;
    PutSource(file, id, role, run);
    return same && role == pathRole ? PutOutcome::Same : PutOutcome::Copy;
}

void SqlIngest::MovePaths(const std::string& from, const std::string& to) {
    std::vector<std::string> paths;
    {
        Stmt s(conn_.Prepare(sql::kSourcesUnder));
        s.Bind(from, from + "/", from + "0");
        while (s.Step()) paths.push_back(s.Text(0));
    }
    for (const std::string& path : paths) {
        std::string moved = to + path.substr(from.size());
        DeleteSource(moved);
        Stmt s(conn_.Prepare(sql::kRenameSource));
        s.Bind(moved, path);
        s.Run();
    }
}

void SqlIngest::PutProblem(const SourceFile& file, const std::string& reason, bool unread) {
    Stmt s(conn_.Prepare(sql::kUpsertSource));
    BindSourceRow(s, file, SourceFacts{std::nullopt, unread ? kRoleUnread : kRoleProblem, reason});
    s.Run();
}

// The stored run with `run`'s key, held until the batch ends where the engine holds rows.
std::optional<SqlIngest::StoredRun> SqlIngest::FindRun(const RunRecord& run) {
    Stmt s(conn_.Prepare(conn_.Dialect().runByKeyLocked));
    s.Bind(run.host, run.chipId, run.timeStamp);
    if (!s.Step()) return std::nullopt;
    using C = sql::StoredColumn;
    using sql::Col;
    return StoredRun{
        s.Int(Col(C::id)), VerdictOf(s.TextView(Col(C::verdict))) != Verdict::Incomplete,
        static_cast<int>(s.Int(Col(C::records))), s.Int(Col(C::bytes)), s.Text(Col(C::station))};
}

// The new run's ID, its file's row stored with it; nothing when a run with its key is there
// already.
std::optional<long long> SqlIngest::InsertRun(const RunRecord& run, const SourceFile& file) {
    bool withSource = conn_.Dialect().newRunWithSource;
    std::optional<long long> id;
    {
        Stmt s(conn_.Prepare(withSource ? sql::InsertRunWithSourceText() : sql::InsertRunText()));
        BindRunColumns(s, run, run.station);
        if (withSource) BindSourceRow(s, file, FactsOf(run, std::nullopt, kRoleKept), true);
        if (s.Step()) id = s.Int(0);
    }
    if (id && !withSource) PutSource(file, *id, kRoleKept, run);
    return id;
}

void SqlIngest::FillStation(long long id, const std::string& station) {
    Unsettle(id);
    Stmt s(conn_.Prepare(sql::kFillStation));
    s.Bind(station, id);
    s.Run();
}

// The run's station stays the one stored first.
void SqlIngest::ReplaceRun(long long id, const RunRecord& run, const std::string& station) {
    Unsettle(id);
    conn_.Flush();  // rows of this run still waiting must be gone with the rest
    for (const char* text : sql::kDeleteRunChildren) {
        Stmt d(conn_.Prepare(text));
        d.Bind(id);
        d.Run();
    }
    {
        Stmt s(conn_.Prepare(sql::UpdateRunText()));
        BindRunColumns(s, run, station);
        s.Bind(id);
        s.Run();
    }
    Stmt demote(conn_.Prepare(sql::kDemoteKeptCopy));
    demote.Bind(id);
    demote.Run();
    InsertChildren(id, run);
}

// A port or tally named twice keeps its first row.
void SqlIngest::InsertChildren(long long id, const RunRecord& run) {
    std::set<std::pair<std::string_view, int>> ports;
    std::vector<PortResult> stored;  // of a failed run, for its causes
    SqlRows& portRows = conn_.Rows(sql::kPortRows);
    for (const PortResult& p : run.ports) {
        if (!ports.emplace(p.family, p.number).second) continue;
        AddPortRow(portRows, id, p);
        if (run.verdict == Verdict::Err) stored.push_back(p);
    }
    std::set<std::tuple<std::string_view, int, std::string_view>> tallies;
    SqlRows& tallyRows = conn_.Rows(sql::kTallyRows);
    for (const PortTally& t : run.tallies) {
        if (tallies.emplace(t.family, t.number, t.variant).second) AddTallyRow(tallyRows, id, t);
    }
    int seq = 0;
    SqlRows& measurementRows = conn_.Rows(sql::kMeasurementRows);
    for (const Measurement& m : run.measurements) AddMeasurementRow(measurementRows, id, seq++, m);
    seq = 0;
    SqlRows& failureRows = conn_.Rows(sql::kFailureRows);
    for (const FailureLine& f : run.failures) AddFailureRow(failureRows, id, seq++, f);
    if (run.verdict == Verdict::Err) InsertCauses(id, stored);
}

// The causes of a failed run whose ports, as stored, are `ports`.
void SqlIngest::InsertCauses(long long id, const std::vector<PortResult>& ports) {
    std::vector<std::string> causes = RunCauses(ports, Verdict::Err);
    std::sort(causes.begin(), causes.end());
    causes.erase(std::unique(causes.begin(), causes.end()), causes.end());
    SqlRows& rows = conn_.Rows(sql::kCauseRows);
    for (const std::string& cause : causes) {
        rows.BindInt(id);
        rows.BindText(cause);
        rows.EndRow();
    }
}

// The path of run `id`'s kept file when that file is gone and is not `path` ("" when the run has
// no kept file: a rename replaced it); nothing when it is there, or when the store was not told
// how to look (SetPathCheck).
std::optional<std::string> SqlIngest::VanishedKept(long long id, const std::string& path) {
    if (!pathCheck_) return std::nullopt;
    std::string kept;
    {
        Stmt s(conn_.Prepare(sql::kKeptSourceOfRun));
        s.Bind(id);
        if (!s.Step()) return std::string();
        kept = s.Text(0);
    }
    if (kept == path || pathCheck_(kept)) return std::nullopt;
    return kept;
}

void SqlIngest::DeleteSource(const std::string& path) {
    Stmt s(conn_.Prepare(sql::kDeleteSource));
    s.Bind(path);
    s.Run();
}

void SqlIngest::PutSource(const SourceFile& file, long long id, const char* role,
                          const RunRecord& run) {
    Stmt s(conn_.Prepare(sql::kUpsertSource));
    BindSourceRow(s, file, FactsOf(run, id, role));
    s.Run();
}

// Run `id`'s rows leave the tallies until the batch settles, as they are about to change.
void SqlIngest::Unsettle(long long id) {
    if (!unsettled_.insert(id).second) return;
    conn_.Flush();
    SettleTallies(-1, id);
}

void SqlIngest::StartBatch() {
    unsettled_.clear();
    newTallies_.Clear();
    boardChips_.clear();
}

void SqlIngest::Settle() {
    conn_.Flush();
    newTallies_.Write(conn_);
    for (long long id : unsettled_) SettleTallies(1, id);
    unsettled_.clear();
    SettleBoards();
}

// The rows of the boards whose runs the batch wrote or changed, made again from their runs.
void SqlIngest::SettleBoards() {
    if (boardChips_.empty()) return;
    const sql::Dialect& d = conn_.Dialect();
    conn_.Exec(d.makeBoardChips);
    SqlRows& rows = conn_.Rows(sql::kBoardChipRows);
    for (const std::string& chip : boardChips_) {
        rows.BindText(chip);
        rows.EndRow();
    }
    conn_.Flush();
    if (d.analyzeBoardChips != nullptr) conn_.Exec(d.analyzeBoardChips);
    if (d.lockBoards != nullptr) Stmt(conn_.Prepare(d.lockBoards)).Run();
    for (const char* text : sql::kSettleBoards) conn_.Exec(text);
    boardChips_.clear();
}

// The rows of run `id` added to the tallies times `sign`.
void SqlIngest::SettleTallies(long long sign, long long id) {
    for (const char* text : sql::kSettleTallies) Stmt(conn_.Prepare(text)).Bind(sign, id).Run();
}

}  // namespace yield
