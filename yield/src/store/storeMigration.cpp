#include "store/storeMigration.h"

#include <ctime>
#include <string>
#include <vector>

#include "parse/calendar.h"
#include "parse/runClock.h"
#include "store/sqlStmt.h"

namespace yield {
namespace {

constexpr char kSchemaLead[] = "database schema version ";
constexpr char kNewerSchema[] = " is newer than this tool's ";
constexpr char kOlderSchema[] = " is older than this tool's ";
constexpr char kUpgradeHint[] = ": an ingest into it upgrades it";
constexpr char kNoRuns[] = "database has no runs yet: ingest into it first";

std::string SchemaMessage(long long version, const char* relation, const char* hint = "") {
    return kSchemaLead + std::to_string(version) + relation + std::to_string(sql::kSchemaVersion) +
           hint;
}

class Migration {
public:
    explicit Migration(SqlConnection& conn) : conn_(conn), d_(conn.Dialect()) {}

    // A writer makes the tables or upgrades them, once: the version is read again under the
    // write lock, since another ingest may have done it meanwhile. A writer also makes the
    // indexes added since a database of this version was made.
    void Run(SchemaUse use) {
        const bool create = use != SchemaUse::Read;
        long long version = SchemaVersion();
        RefuseNewer(version);
        if (version == sql::kSchemaVersion) {
            if (create && !HasIndex(sql::kNewestIndex)) MakeIndexes();
            if (create) ClearNonDays();
            return;
        }
        if (!create || (use == SchemaUse::Upgrade && version == 0)) {
            throw StoreError(version == 0 ? kNoRuns
                                          : SchemaMessage(version, kOlderSchema, kUpgradeHint));
        }
        BeginSchemaChange();
        version = SchemaVersion();
        RefuseNewer(version);
        if (version == 0) {
            for (size_t i = 0; i < d_.schemaSize; ++i) conn_.Exec(d_.schema[i]);
        } else {
            if (version == sql::kFirstSchemaVersion)
                for (size_t i = 0; i < d_.upgrade1Size; ++i) conn_.Exec(d_.upgrade1[i]);
            if (version < sql::kClockSchemaVersion)
                for (size_t i = 0; i < d_.upgrade2Size; ++i) conn_.Exec(d_.upgrade2[i]);
        }
        if (version != 0 && version < sql::kClockSchemaVersion) UpgradeClocks();
        if (version != 0 && version < sql::kTallySchemaVersion) {
            for (size_t i = 0; i < d_.upgrade3Size; ++i) conn_.Exec(d_.upgrade3[i]);
            RebuildTallies();
        }
        if (version != 0 && version < sql::kBoardSchemaVersion) {
            for (size_t i = 0; i < d_.upgrade4Size; ++i) conn_.Exec(d_.upgrade4[i]);
            RebuildBoards();
        }
        if (version != 0 && version < sql::kCauseSchemaVersion) {
            for (size_t i = 0; i < d_.upgrade5Size; ++i) conn_.Exec(d_.upgrade5[i]);
            for (const char* text : sql::kRebuildCauses) conn_.Exec(text);
        }
        if (version != 0 && version < sql::kDayBoardSchemaVersion) {
            for (size_t i = 0; i < d_.upgrade6Size; ++i) conn_.Exec(d_.upgrade6[i]);
            RebuildDayBoards();
        }
        if (version != sql::kSchemaVersion) conn_.Exec(d_.setVersion);
        conn_.Commit();
    }

private:
    long long SchemaVersion() {
        if (d_.hasSchema != nullptr) {
            Stmt s(conn_.Prepare(d_.hasSchema));
            if (!s.Step() || s.Int(0) == 0) return 0;
        }
        Stmt s(conn_.Prepare(d_.getVersion));
        return s.Step() ? s.Int(0) : 0;
    }

    static void RefuseNewer(long long version) {
        if (version > sql::kSchemaVersion) throw StoreError(SchemaMessage(version, kNewerSchema));
    }

    // The batch that changes the schema, held alone where the engine needs telling.
    void BeginSchemaChange() {
        conn_.Begin();
        if (d_.schemaLock == nullptr) return;
        Stmt lock(conn_.Prepare(d_.schemaLock));
        lock.Run();
    }

    // The runs stored before unset clocks were flagged, weighed as an ingest weighs them now.
    void UpgradeClocks() {
        bool sqlite = d_.hasSchema == nullptr;  // SQLite keeps its version in the file header
        conn_.Exec(sqlite ? sql::kSqliteUpgradeClockColumn : sql::kPgUpgradeClockColumn);
        std::time_t now = std::time(nullptr);
        std::vector<std::pair<long long, std::string>> unset;
        {
            Stmt s(conn_.Prepare(sql::kClockCandidates));
            s.Bind(std::string(kEarliestStamp)).Bind(StampOf(now + kClockSlackSeconds));
            while (s.Step()) {
                RunRecord run;
                run.timeStamp = s.Text(1);
                MarkUnsetClock(run, s.Int(2), now);
                if (run.clockUnset) unset.emplace_back(s.Int(0), run.arrivalDay);
            }
        }
        for (const auto& [id, day] : unset)
            Stmt(conn_.Prepare(sql::kMarkClockUnset)).Bind(day).Bind(id).Run();
    }

    // Asked before making any: PostgreSQL locks a table against writes for CREATE INDEX even
    // when the index is there.
    bool HasIndex(const char* name) {
        Stmt s(conn_.Prepare(d_.hasIndex));
        s.Bind(name);
        return s.Step() && s.Int(0) > 0;
    }

    void MakeIndexes() {
        BeginSchemaChange();
        for (const char* text : sql::kIndexes) conn_.Exec(text);
        conn_.Commit();
    }

    // A stamp such as 9999_99_99 was once stored with that day; the day goes, as a new ingest of
    // the log would store it.
    void ClearNonDays() {
        std::vector<std::string> wrong;
        {
            Stmt s(conn_.Prepare(sql::kStoredDays));
            while (s.Step())
                if (!IsDay(s.Text(0))) wrong.push_back(s.Text(0));
        }
        if (wrong.empty()) return;
        conn_.Begin();
        for (const std::string& day : wrong) Stmt(conn_.Prepare(sql::kClearDay)).Bind(day).Run();
        RebuildTallies();  // the runs' days moved under the tallies' keys
        RebuildBoards();
        RebuildDayBoards();
        conn_.Commit();
    }

    void RebuildTallies() {
        for (const char* text : sql::kRebuildTallies) conn_.Exec(text);
    }

    void RebuildBoards() {
        for (const char* text : sql::kRebuildBoards) conn_.Exec(text);
    }

    // After RebuildBoards: the plain boards are counted from the boards' rows.
    void RebuildDayBoards() {
        for (const char* text : sql::kRebuildDayBoards) conn_.Exec(text);
    }

    SqlConnection& conn_;
    const sql::Dialect& d_;
};

}  // namespace

void MigrateSchema(SqlConnection& conn, SchemaUse use) { Migration(conn).Run(use); }

}  // namespace yield
