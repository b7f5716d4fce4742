// `alarms`: the line screen's alarms as the database keeps them, newest first; --ack and --clear
// take a step on one, saying who and why, as the screen's buttons do.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <ctime>
#include <memory>

#include "cli/commands.h"
#include "cli/printJson.h"
#include "report/escape.h"
#include "report/reportSelection.h"
#include "serve/alarmRule.h"
#include "serve/alertCommand.h"
#include "serve/liveState.h"
#include "store/openStore.h"

namespace yield {
namespace {

constexpr char kLastHelp[] = "list the newest N alarms (default 50)";
constexpr char kAckHelp[] = "acknowledge the alarm ID (with --by, and --note)";
constexpr char kClearHelp[] =
    "clear the alarm ID: the screen shows it no more (with --by, and --note)";
constexpr char kByHelp[] = "who acknowledges or clears it";
constexpr char kNoteHelp[] = "why, or what was done";
constexpr char kNeedsStep[] = "--by and --note go with --ack or --clear";
constexpr char kNoAlarm[] = "no alarm ";
constexpr char kTakenBefore[] = " was acknowledged or cleared before";
constexpr char kAlarmsKey[] = "alarms";
constexpr char kCount[] = "%zu alarm(s), newest first\n";
constexpr char kHead[] = "#%lld  raised %s  %s  station %s";
constexpr char kPorts[] = "  ports %s";
constexpr char kFigures[] = "  boards %lld  %s %s%%";
constexpr char kStep[] = "\n    %s %s by %s: %s";
constexpr char kEnded[] = "\n    condition ended %s";
constexpr char kPortFailureRate[] = "port failure rate";
constexpr char kFirstPassYield[] = "first-pass yield";
constexpr char kAcknowledged[] = "acknowledged";
constexpr char kCleared[] = "cleared";
constexpr long long kDefaultLast = 50;

struct AlarmsOptions {
    std::string format = kFormatText;
    long long last = kDefaultLast;
    long long ack = 0;
    long long clear = 0;
    std::string by;
    std::string note;
};

void PrintStep(const char* step, const std::string& at, const std::string& by,
               const std::string& note) {
    if (at.empty()) return;
    std::printf(kStep, step, at.c_str(), PrintableText(by).c_str(), PrintableText(note).c_str());
}

void PrintAlarm(const AlarmRow& a) {
    std::printf(kHead, a.id, a.raisedAt.c_str(), a.kind.c_str(), PrintableText(a.station).c_str());
    if (!a.ports.empty()) std::printf(kPorts, PrintableText(a.ports).c_str());
    bool port = a.portFailureRate.has_value();
    double figure = port ? *a.portFailureRate : a.firstPassYield.value_or(0);
    std::printf(kFigures, a.boards, port ? kPortFailureRate : kFirstPassYield,
                RatePercent(figure).c_str());
    if (!a.endedAt.empty()) std::printf(kEnded, a.endedAt.c_str());
    PrintStep(kAcknowledged, a.acknowledgedAt, a.acknowledgedBy, a.acknowledgeNote);
    PrintStep(kCleared, a.clearedAt, a.clearedBy, a.clearNote);
    std::fputc('\n', stdout);
}

int List(const std::string& db, const AlarmsOptions& o) {
    std::vector<AlarmRow> rows = OpenReadStore(db)->AlarmHistory(o.last);
    if (o.format == kFormatJson) {
        PrintJson({{kAlarmsKey, AlarmsJson(rows)}});
        return kExitOk;
    }
    std::printf(kCount, rows.size());
    for (const AlarmRow& a : rows) PrintAlarm(a);
    return kExitOk;
}

int TakeStep(const std::string& db, const AlarmsOptions& o) {
    AlarmNote note{o.by, o.note, UtcStamp(std::time(nullptr))};
    std::string wrong = AlarmNoteProblem(note);
    if (!wrong.empty()) throw UsageError(wrong);
    long long id = o.ack != 0 ? o.ack : o.clear;
    AlarmStep step = o.ack != 0 ? AlarmStep::Acknowledge : AlarmStep::Clear;
    switch (OpenUpgradeStore(db)->TakeAlarmStep(id, step, note)) {
        case AlarmStepOutcome::NoSuchAlarm:
            throw NotFoundError(kNoAlarm + std::to_string(id));
        case AlarmStepOutcome::AlreadyTaken:
            throw UsageError("alarm " + std::to_string(id) + kTakenBefore);
        case AlarmStepOutcome::Taken:
            break;
    }
    return kExitOk;
}

int RunAlarms(const std::string& db, const AlarmsOptions& o) {
    if (o.ack != 0 || o.clear != 0) return TakeStep(db, o);
    if (!o.by.empty() || !o.note.empty()) throw UsageError(kNeedsStep);
    return List(db, o);
}

}  // namespace

Handler AddAlarmsOptions(CLI::App& cmd) {
    auto opts = std::make_shared<AlarmsOptions>();
    cmd.add_option("--format", opts->format, kTextOrJson)
        ->check(CLI::IsMember({kFormatText, kFormatJson}));
    cmd.add_option("--last", opts->last, kLastHelp)
        ->check(CLI::Range(1LL, 1000000LL))
        ->type_name("N");
    auto* ack = cmd.add_option("--ack", opts->ack, kAckHelp)
                    ->check(CLI::Range(1LL, 999999999999999999LL))
                    ->type_name("ID");
    cmd.add_option("--clear", opts->clear, kClearHelp)
        ->check(CLI::Range(1LL, 999999999999999999LL))
        ->type_name("ID")
        ->excludes(ack);
    cmd.add_option("--by", opts->by, kByHelp)->type_name("NAME");
    cmd.add_option("--note", opts->note, kNoteHelp)->type_name("TEXT");
    return [opts](const std::string& db) { return RunAlarms(db, *opts); };
}

}  // namespace yield
