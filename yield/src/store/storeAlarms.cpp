#include "store/storeAlarms.h"

#include "store/sqlStmt.h"

namespace yield {
namespace {

constexpr char kVersionSeparator = '/';
constexpr int kVersionCounts = 4;  // the columns of kAlarmsVersion

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

}  // namespace

long long SqlAlarms::Raise(const AlarmRow& a) {
    conn_.Begin();
    try {
        long long id = 0;
        {
            Stmt s(conn_.Prepare(sql::kInsertAlarm));
            s.Bind(a.kind, a.station, a.ports, a.boards, a.portFailureRate, a.firstPassYield,
                   a.raisedAt);
            if (s.Step()) id = s.Int(0);
        }
        conn_.Commit();
        return id;
    } catch (...) {
        conn_.Rollback();
        throw;
    }
}

void SqlAlarms::End(long long id, const std::string& at) {
    Stmt(conn_.Prepare(sql::kEndAlarm)).Bind(at, id).Run();
}

AlarmStepOutcome SqlAlarms::TakeStep(long long id, AlarmStep step, const AlarmNote& n) {
    const char* text = step == AlarmStep::Clear ? sql::kClearAlarm : sql::kAcknowledgeAlarm;
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
}

std::vector<AlarmRow> SqlAlarms::Live() {
    Stmt s(conn_.Prepare(sql::kLiveAlarms));
    return ReadAlarms(s);
}

std::string SqlAlarms::Version() {
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
