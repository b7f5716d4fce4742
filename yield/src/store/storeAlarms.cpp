#include "store/storeAlarms.h"

#include "store/sqlStmt.h"

namespace yield {
namespace {

constexpr char kVersionSeparator = '/';
constexpr int kVersionCounts = 4;
constexpr char kNoId[] = "database: a new alarm was given no ID";  // the columns of kAlarmsVersion

std::optional<double> OptionalReal(Stmt& s, sql::AlarmColumn c) {
    if (s.Null(sql::Col(c))) return std::nullopt;
    return s.Real(sql::Col(c));
}

AlarmRow ReadAlarm(Stmt& s) {
    using C = sql::AlarmColumn;
    using sql::Col;
    AlarmRow a;
    a.id = s.Int(Col(C::id));
    a.kind = s.Text(Col(C::kind));
    a.station = s.Text(Col(C::station));
    a.ports = s.Text(Col(C::ports));
    a.boards = s.Int(Col(C::boards));
    a.portFailureRate = OptionalReal(s, C::port_failure_rate);
    a.firstPassYield = OptionalReal(s, C::first_pass_yield);
    a.raisedAt = s.Text(Col(C::raised_at));
    a.endedAt = s.Text(Col(C::ended_at));
    a.acknowledgedAt = s.Text(Col(C::acknowledged_at));
    a.acknowledgedBy = s.Text(Col(C::acknowledged_by));
    a.acknowledgeNote = s.Text(Col(C::acknowledge_note));
    a.clearedAt = s.Text(Col(C::cleared_at));
    a.clearedBy = s.Text(Col(C::cleared_by));
    a.clearNote = s.Text(Col(C::clear_note));
    return a;
}

std::vector<AlarmRow> ReadAlarms(Stmt& s) {
    std::vector<AlarmRow> out;
    while (s.Step()) out.push_back(ReadAlarm(s));
    return out;
}

// Runs `write` as one batch: committed, or rolled back when it throws.
template <class Write>
auto InBatch(SqlConnection& conn, Write write) {
    conn.Begin();
    try {
        auto result = write();
        conn.Commit();
        return result;
    } catch (...) {
        conn.Rollback();
        throw;
    }
}

// Ends the read snapshot the connection holds, so that the next read sees what others committed
// since, and a snapshot kept open does not hold the database back.
struct FreshRead {
    explicit FreshRead(SqlConnection& c) : conn(c) { conn.Rollback(); }
    ~FreshRead() { conn.Rollback(); }
    FreshRead(const FreshRead&) = delete;
    FreshRead& operator=(const FreshRead&) = delete;
    SqlConnection& conn;
};

}  // namespace

long long SqlAlarms::Raise(const AlarmRow& a) {
    return InBatch(conn_, [&] {
        Stmt s(conn_.Prepare(sql::kInsertAlarm));
        s.Bind(a.kind, a.station, a.ports, a.boards, a.portFailureRate, a.firstPassYield,
               a.raisedAt);
        if (!s.Step()) throw StoreError(kNoId);
        long long id = s.Int(0);
        s.Run();
        return id;
    });
}

void SqlAlarms::End(long long id, const std::string& at) {
    InBatch(conn_, [&] {
        Stmt(conn_.Prepare(sql::kEndAlarm)).Bind(at, id).Run();
        return true;
    });
}

AlarmStepOutcome SqlAlarms::TakeStep(long long id, AlarmStep step, const AlarmNote& n) {
    const char* text = step == AlarmStep::Clear ? sql::kClearAlarm : sql::kAcknowledgeAlarm;
    return InBatch(conn_, [&] {
        {
            Stmt s(conn_.Prepare(text));
            s.Bind(n.at, n.by, n.note, id);
            if (s.Step()) {
                s.Run();
                return AlarmStepOutcome::Taken;
            }
        }
        Stmt exists(conn_.Prepare(sql::kAlarmExists));
        exists.Bind(id);
        return exists.Step() && exists.Int(0) > 0 ? AlarmStepOutcome::AlreadyTaken
                                                  : AlarmStepOutcome::NoSuchAlarm;
    });
}

std::vector<AlarmRow> SqlAlarms::Live() {
    FreshRead fresh(conn_);
    Stmt s(conn_.Prepare(sql::kLiveAlarms));
    return ReadAlarms(s);
}

std::string SqlAlarms::Version() {
    FreshRead fresh(conn_);
    Stmt s(conn_.Prepare(sql::kAlarmsVersion));
    std::string out;
    if (!s.Step()) return out;
    for (int c = 0; c < kVersionCounts; ++c) out += std::to_string(s.Int(c)) + kVersionSeparator;
    return out;
}

std::vector<AlarmRow> SqlAlarms::History(long long n) {
    Stmt s(conn_.Prepare(sql::kAlarmHistory));
    s.Bind(n);
    return ReadAlarms(s);
}

}  // namespace yield
