// `serve`: the line's live screen and its alarm (src/serve); reads the database, and writes only
// its alarms.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "cli/commands.h"
#include "parse/calendar.h"
#include "serve/server.h"

namespace yield {
namespace {

constexpr char kListenHelp[] =
    "address and port to listen on (port 0: a free one, printed at start); anything but a "
    "loopback address shows the line's data to the whole network";
constexpr char kDayHelp[] =
    "the day the screen counts, YYYY-MM-DD (default: today, local time, following the clock)";
constexpr char kAlarmBoardsHelp[] =
    "the low-yield alarm looks at each station's last N boards (default 10)";
constexpr char kAlarmYieldHelp[] =
    "a station's first-pass yield over its last N boards below P percent raises an alarm "
    "(default 80)";
constexpr char kOnAlertHelp[] =
    "command run once per new alarm, without a shell: CMD split on spaces, then the alarm's "
    "kind, station, ports and figure in percent as arguments; DEVUZE_ALERT_KIND, _STATION, "
    "_PORT, _BOARDS, _ID and _FAILURE_RATE or _FIRST_PASS_YIELD in its environment";
constexpr char kBadListen[] = "--listen takes ADDR:PORT, not ";
constexpr char kNotADay[] = "--day is not a day (YYYY-MM-DD): ";
constexpr char kNotAPercent[] = "--alarm-yield takes a percent from 0 to 100";
constexpr double kPercent = 100.0;

struct ServeArgs {
    ServeOptions options;
    std::string listen = kDefaultListen;
    double alarmYieldPercent = 80;
};

int RunServe(const std::string& db, ServeArgs a) {
    if (!a.options.day.empty() && !IsDay(a.options.day)) throw UsageError(kNotADay + a.options.day);
    if (!ParseListen(a.listen, a.options.listen)) throw UsageError(kBadListen + a.listen);
    // A range check lets NaN through, which would never raise the alarm.
    if (!(a.alarmYieldPercent >= 0 && a.alarmYieldPercent <= kPercent))
        throw UsageError(kNotAPercent);
    a.options.db = db;
    a.options.rule.minYield = a.alarmYieldPercent / kPercent;
    bool ended = false;
    try {
        ended = Serve(a.options);
    } catch (const ListenError& e) {
        throw UsageError(e.what());
    }
    // A thread still held in a database call must not see the process's objects destroyed.
    if (!ended) {
        std::fflush(nullptr);
        std::_Exit(kExitOk);
    }
    return kExitOk;
}

}  // namespace

Handler AddServeOptions(CLI::App& cmd) {
    auto args = std::make_shared<ServeArgs>();
    cmd.add_option("--listen", args->listen, kListenHelp)
        ->type_name("ADDR:PORT")
        ->capture_default_str();
    cmd.add_option("--day", args->options.day, kDayHelp);
    cmd.add_option("--alarm-boards", args->options.rule.boards, kAlarmBoardsHelp)
        ->check(CLI::Range(1, 100000))
        ->type_name("N");
    cmd.add_option("--alarm-yield", args->alarmYieldPercent, kAlarmYieldHelp)
        ->check(CLI::Range(0.0, 100.0))
        ->type_name("P");
    cmd.add_option("--on-alert", args->options.onAlert, kOnAlertHelp)->type_name("CMD");
    return [args](const std::string& db) { return RunServe(db, *args); };
}

}  // namespace yield
