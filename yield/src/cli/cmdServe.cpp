// `serve`: the line's live screen and its alarm (src/serve); reads the database, and writes only
// its alarms and, when given the desk's secret, the repair desk's dispositions.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "cli/commands.h"
#include "parse/calendar.h"
#include "serve/deskSecret.h"
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
constexpr char kTargetHelp[] =
    "the first-pass yield the line aims at, in percent: the wall's tiles are green at or above "
    "it, amber up to 5 points below, red under that (default 95)";
constexpr char kStationsHelp[] =
    "the line's stations, comma-separated: the wall warns when one brings no logs for "
    "--quiet-minutes (default: the stations that brought logs in the last 7 days)";
constexpr char kQuietHelp[] =
    "an expected station that brings no logs for N minutes is shown as quiet (default 30)";
constexpr char kDeskSecretHelp[] =
    "a file whose first line (16 to 256 visible ASCII characters) is the repair desk's secret: "
    "the board pages then record dispositions sent with it; without it every request is "
    "read-only";
constexpr char kDeskSecretVariable[] = "DEVUZE_YIELD_DESK_SECRET_FILE";
constexpr char kBadListen[] = "--listen takes ADDR:PORT, not ";
constexpr char kNotADay[] = "--day is not a day (YYYY-MM-DD): ";
constexpr char kNotAPercent[] = "--alarm-yield takes a percent from 0 to 100";
constexpr char kNotATarget[] = "--target-yield takes a percent from 0 to 100";
constexpr char kEmptyStation[] = "--stations names an empty station";
constexpr int kMostQuietMinutes = 7 * 24 * 60;
constexpr double kPercent = 100.0;

struct ServeArgs {
    ServeOptions options;
    std::string listen = kDefaultListen;
    std::string deskSecretFile;
    double alarmYieldPercent = 80;
    double targetPercent = kDefaultTargetYield * 100;
};

// A percent as a share, refusing what a range check lets through (NaN, which compares false).
double Share(double percent, const char* refusal) {
    if (!(percent >= 0 && percent <= kPercent)) throw UsageError(refusal);
    return percent / kPercent;
}

int RunServe(const std::string& db, ServeArgs a) {
    if (!a.options.day.empty() && !IsDay(a.options.day)) throw UsageError(kNotADay + a.options.day);
    if (!ParseListen(a.listen, a.options.listen)) throw UsageError(kBadListen + a.listen);
    a.options.db = db;
    try {
        if (!a.deskSecretFile.empty()) a.options.deskSecret = ReadDeskSecret(a.deskSecretFile);
    } catch (const DeskSecretError& e) {
        throw UsageError(e.what());
    }
    a.options.rule.minYield = Share(a.alarmYieldPercent, kNotAPercent);
    a.options.wall.target = Share(a.targetPercent, kNotATarget);
    for (const std::string& station : a.options.wall.stations)
        if (station.empty()) throw UsageError(kEmptyStation);
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
    cmd.add_option("--target-yield", args->targetPercent, kTargetHelp)
        ->check(CLI::Range(0.0, 100.0))
        ->type_name("PCT");
    cmd.add_option("--stations", args->options.wall.stations, kStationsHelp)
        ->delimiter(',')
        ->type_name("A,B,...");
    cmd.add_option("--quiet-minutes", args->options.wall.quietMinutes, kQuietHelp)
        ->check(CLI::Range(1, kMostQuietMinutes))
        ->type_name("N");
    cmd.add_option("--desk-secret-file", args->deskSecretFile, kDeskSecretHelp)
        ->type_name("FILE")
        ->envname(kDeskSecretVariable);
    return [args](const std::string& db) { return RunServe(db, *args); };
}

}  // namespace yield
