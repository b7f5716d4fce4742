// The table of subcommands, and what all of them share: the --db option, the exit-status footer
// and the one mapping from a failure to its exit status.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "cli/commands.h"
#include "cli/helpText.h"
#include "cli/nearestName.h"
#include "report/reportRequest.h"
#include "store/store.h"

namespace yield {
namespace {

constexpr char kAbout[] =
    "devuzeV7-yield: results across boards from the archived devuzeV7 trace logs.";
constexpr char kProgram[] = "devuzeV7-yield";
constexpr char kVersionFlag[] = "--version";
constexpr char kExamplesLead[] = "Examples:\n";
constexpr char kExitStatusSeparator[] = "; ";
constexpr char kCannotWriteOutput[] = "cannot write standard output: ";
constexpr char kSubcommandWord[] = "subcommand";
constexpr char kOptionWord[] = "option";
constexpr char kLongLead[] = "--";
constexpr char kShortLead[] = "-";
constexpr char kHelpHint[] = " (see --help)";

constexpr char kIngestAbout[] =
    "Read archived trace logs (files or folders, any depth) into the database. The same run "
    "found in several copies is stored once, from its most complete copy; ingesting the "
    "same files again changes nothing. Empty, foreign and unreadable files are listed. Several "
    "ingests may write into one database at once (stations uploading the same day, folders "
    "that overlap): each run is still stored once.";
constexpr char kReportAbout[] =
    "Yield report over the stored runs: the repair queue, first-pass and final yield per "
    "processor ID (an aborted run is an attempt), each defined in the report, retests, the "
    "Pareto of failing ports, the fixture view (failure rate per station and port, flagged "
    "where one station stands apart from all others of the same days), intermittent ports, "
    "analogue statistics with Cpk against 1.50 V and 1.70 V, yields per day and per station, "
    "and their trends. The report names its selection, the time it was made at "
    "(SOURCE_DATE_EPOCH when set) and its database.";
constexpr char kBoardAbout[] =
    "Every run of one processor ID, newest first: verdict, failing ports and the files its "
    "log was found in (kept: the copy the data comes from; copy: the others); then the repair "
    "desk's dispositions of it, oldest first.";
constexpr char kExportAbout[] =
    "One file per stored run: JUnit XML (a suite per run, a test case per port and per "
    "judged measurement, failures with the log lines that explain them) or a JSON test "
    "record (device ID, start and end, outcome, phases with measurements and limits).";

constexpr char kProblemsAbout[] =
    "The files ingests recorded as holding no run (empty, not a trace log, unreadable), with "
    "their size and reason, and whether the next ingest reads each again: a file that could not "
    "be read is tried at every ingest, the others only when their size or time changes.";

constexpr char kDisposeAbout[] =
    "Record what the repair desk did with a board: repaired, scrapped or returned, who did it "
    "and a note, at this host's clock. The board's history keeps every disposition (board "
    "shows it). A scrapped or returned board leaves the repair queue; a repaired one stays in "
    "it, marked awaiting retest, until its next run takes it out (passed) or back in (failed).";
constexpr char kAlarmsAbout[] =
    "The line screen's alarms as the database keeps them, newest first: when each was raised and "
    "what it counted, when its condition ended, who acknowledged and cleared it and why. --ack "
    "and --clear take that step on one alarm, as the screen's buttons do.";
constexpr char kCheckAbout[] =
    "Recompute from the stored rows the tallies the reports read (each day's ports of every host "
    "and station, the analogue readings' values) and compare them with those kept at ingest: "
    "prints the rows that differ, each way. An ingest keeps them; an older database gets them "
    "at its next ingest.";
constexpr char kCheckExamples[] = "  devuzeV7-yield check --db yield.db";
constexpr char kCheckNotFound[] = "1 the tallies differ from the rows (each difference listed)";
constexpr char kAlarmsExamples[] =
    "  devuzeV7-yield alarms --db yield.db\n"
    "  devuzeV7-yield alarms --db yield.db --ack 12 --by ann --note 'cable C re-seated'\n"
    "  devuzeV7-yield alarms --db yield.db --clear 12 --by ann";
constexpr char kAlarmsNotFound[] = "1 --ack or --clear names no alarm";

constexpr char kWatchAbout[] =
    "Ingest the paths as ingest does, then keep ingesting as the sticks of a line are gathered: "
    "a file that appears or grows under them is stored within about a second (a file still "
    "being copied once it stops growing; a log without its verdict line once it has not "
    "changed for a minute, since a stalled copy is not yet an aborted run), files renamed or "
    "made readable are followed, folders made later too, and a path that does not exist yet "
    "or goes (a stick pulled) is looked for every second (a line at start names each path waited "
    "for). One line per batch on standard "
    "error, with the figures ingest prints. SIGINT or SIGTERM stops it between batches, or "
    "gives up a batch waiting on a database server that does not answer, with exit status 0. "
    "Several watchers and ingests may write into one database at once.";

constexpr char kServeAbout[] =
    "The line's live screen over HTTP: today's first-pass and final yield per station and per "
    "hour, the repair queue, the fixture flags, the latest runs and the alarms, updated within "
    "seconds of any ingest; each board's runs at /board/ID and the report at /report with the "
    "report's selections. Reads the database and never writes it, but for its alarms and the "
    "repair desk's dispositions recorded from the board pages when --desk-secret-file is given. "
    "A database that cannot be read yet (not made by its first ingest, a server not up) is "
    "waited for: said once, the page says so until it can be read. Runs until interrupted.";

constexpr char kIngestExamples[] =
    "  devuzeV7-yield ingest --db yield.db /mnt/archive/2026-12\n"
    "  devuzeV7-yield ingest --db yield.db --station fixture-A /mnt/archive/fixture-A\n"
    "  DEVUZE_YIELD_DB=postgresql: devuzeV7-yield ingest station1.log station2.log";
constexpr char kWatchExamples[] =
    "  devuzeV7-yield watch --db /srv/yield/yield.db /srv/sticks\n"
    "  devuzeV7-yield watch --db postgresql: --station fixture-A /media/stick-a";
constexpr char kReportExamples[] =
    "  devuzeV7-yield report --db yield.db --since 2026-12-01 --until 2026-12-07\n"
    "  devuzeV7-yield report --db yield.db --days 7\n"
    "  devuzeV7-yield report --db yield.db --host bench1 --format html -o yield.html\n"
    "  devuzeV7-yield report --db yield.db --station fixture-C --since 2026-12-07\n"
    "  devuzeV7-yield report --db yield.db --format csv -o tables/\n"
    "  devuzeV7-yield report --db yield.db --format csv --table pareto";
constexpr char kBoardExamples[] =
    "  devuzeV7-yield board --db yield.db 0x1A2B3C4D\n"
    "  devuzeV7-yield board --db yield.db 1a2b3c4d";
constexpr char kExportExamples[] =
    "  devuzeV7-yield export --db yield.db --format junit -o junit/\n"
    "  devuzeV7-yield export --db yield.db --format json --since 2026-12-01 -o records/";

constexpr char kProblemsExamples[] =
    "  devuzeV7-yield problems --db yield.db\n"
    "  devuzeV7-yield problems --db yield.db --format json";

constexpr char kDisposeExamples[] =
    "  devuzeV7-yield dispose --db yield.db 0x1A2B3C4D --as repaired --by ana\n"
    "  devuzeV7-yield dispose --db yield.db 1a2b3c4d --as scrapped --by ana --note cracked";
constexpr char kDisposeNotFound[] = "1 no run of that processor ID";

constexpr char kServeExamples[] =
    "  devuzeV7-yield serve --db yield.db\n"
    "  devuzeV7-yield serve --db yield.db --listen 0.0.0.0:8047 --on-alert '/usr/local/bin/page "
    "line-lead'";

constexpr char kIngestNotFound[] =
    "1 a path given does not exist (it is listed, and the rest is stored)";
constexpr char kReportNotFound[] =
    "1 --since, --until, --host or --station selects no run (one line on standard error; "
    "nothing is written)";
constexpr char kWatchNotFound[] =
    "1 the paths cannot be watched (the system gives no more inotify instances)";
constexpr char kBoardNotFound[] = "1 no run of that processor ID";
constexpr char kExportNotFound[] =
    "1 --since, --until, --host or --station selects no run (one line on standard error; "
    "no file is written), or an --id has no stored run (named on standard error; the runs of the "
    "others are written)";

// In the order --help lists them.
const Subcommand kSubcommands[] = {
    {"ingest", kIngestAbout, AddIngestOptions, kIngestExamples, kIngestNotFound, false, true},
    {"watch", kWatchAbout, AddWatchOptions, kWatchExamples, kWatchNotFound, false, true},
    {"report", kReportAbout, AddReportOptions, kReportExamples, kReportNotFound, true, false},
    {"board", kBoardAbout, AddBoardOptions, kBoardExamples, kBoardNotFound, true, false},
    {"export", kExportAbout, AddExportOptions, kExportExamples, kExportNotFound, true, false},
    {"problems", kProblemsAbout, AddProblemsOptions, kProblemsExamples, nullptr, true, false},
    {"dispose", kDisposeAbout, AddDisposeOptions, kDisposeExamples, kDisposeNotFound, true, false},
    {"serve", kServeAbout, AddServeOptions, kServeExamples, nullptr, false, false},
    {"alarms", kAlarmsAbout, AddAlarmsOptions, kAlarmsExamples, kAlarmsNotFound, false, false},
    {"check", kCheckAbout, AddCheckOptions, kCheckExamples, kCheckNotFound, false, false},
};

std::string ExitStatuses(const char* notFound, const char* database, bool writesOutput) {
    std::string out = std::string(kExitStatusLead) + kExitDoneHelp;
    for (const char* status :
         {notFound, static_cast<const char*>(kExitUsageHelp), database,
          writesOutput ? kExitOutputHelp : nullptr, static_cast<const char*>(kExitMemoryHelp)}) {
        if (status != nullptr) out += kExitStatusSeparator + std::string(status);
    }
    return out + ".";
}

std::string Footer(const Subcommand& s) {
    return kExamplesLead + std::string(s.examples) + "\n\n" +
           ExitStatuses(s.notFound, s.ingests ? kExitIngestDatabaseHelp : kExitDatabaseHelp,
                        s.writesOutput);
}

void Complain(const char* command, const char* message) {
    if (command == nullptr)
        std::fprintf(stderr, "%s: %s\n", kProgram, message);
    else
        std::fprintf(stderr, "%s %s: %s\n", kProgram, command, message);
}

bool IsOptionWord(const std::string& word) { return word.size() > 1 && word[0] == '-'; }

std::vector<std::string> SubcommandNames() {
    std::vector<std::string> names;
    for (const Subcommand& s : kSubcommands) names.emplace_back(s.name);
    return names;
}

// The options of `app`, as typed: --name and -n.
std::vector<std::string> OptionNames(const CLI::App& app) {
    std::vector<std::string> names;
    for (const CLI::Option* opt : app.get_options()) {
        for (const std::string& l : opt->get_lnames()) names.push_back(kLongLead + l);
        for (const std::string& s : opt->get_snames()) names.push_back(kShortLead + s);
    }
    return names;
}

// The first word a program's arguments give as a subcommand, when it names none.
std::string UnknownSubcommand(int argc, char** argv) {
    if (argc < 2 || IsOptionWord(argv[1])) return std::string();
    std::vector<std::string> names = SubcommandNames();
    if (std::find(names.begin(), names.end(), argv[1]) != names.end()) return std::string();
    return UnknownName(kSubcommandWord, argv[1], names);
}

// The subcommand the arguments named, or `app` itself.
const CLI::App& Parsed(const CLI::App& app) {
    const CLI::App* where = &app;
    for (const CLI::App* sub : app.get_subcommands()) where = sub;
    return *where;
}

// The first option of the arguments left over that the command it was given to does not
// take, named with the nearest it does; "" when none is an option.
std::string UnknownOption(const CLI::App& app) {
    const CLI::App* where = &Parsed(app);
    for (const CLI::App* in : {where, &app}) {
        for (const std::string& word : in->remaining()) {
            if (!IsOptionWord(word)) continue;
            std::string typed = word.substr(0, word.find('='));
            return UnknownName(kOptionWord, typed, OptionNames(*where)) + kHelpHint;
        }
    }
    return std::string();
}

// Called in a catch block: the exit status of the failure being handled, with its line on
// standard error. `command` is the subcommand that failed, or null while parsing.
int StatusOfFailure(CLI::App& app, const char* command) {
    try {
        throw;
    } catch (const CLI::ExtrasError& e) {
        std::string unknown = UnknownOption(app);
        if (unknown.empty()) return app.exit(e) == 0 ? kExitOk : kExitUsage;
        const CLI::App& where = Parsed(app);
        Complain(&where == &app ? command : where.get_name().c_str(), unknown.c_str());
        return kExitUsage;
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? kExitOk : kExitUsage;
    } catch (const StoreError& e) {
        Complain(command, e.what());
        return kExitDatabase;
    } catch (const NotFoundError& e) {
        Complain(command, e.what());
        return kExitNotFound;
    } catch (const NothingSelected& e) {
        Complain(command, e.what());
        return kExitNotFound;
    } catch (const UsageError& e) {
        Complain(command, e.what());
        return kExitUsage;
    } catch (const RequestError& e) {
        Complain(command, e.what());
        return kExitUsage;
    } catch (const OutputError& e) {
        Complain(command, e.what());
        return kExitOutput;
    } catch (const std::bad_alloc&) {
        std::fputs(kOutOfMemory, stderr);
        return kExitMemory;
    }
}

// What a subcommand printed must have reached its reader: a full disk or a closed pipe behind
// standard output is a failed answer, not a done one.
int StdoutWritten(int status) {
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return status;
    throw OutputError(kCannotWriteOutput + std::string(std::strerror(errno)));
}

void Add(CLI::App& app, const Subcommand& s, int& status) {
    CLI::App* cmd = app.add_subcommand(s.name, s.description);
    auto db = std::make_shared<std::string>(kDefaultDb);
    cmd->add_option("--db", *db, kDbHelp)->capture_default_str()->envname(kDbEnvironment);
    Handler handler = s.addOptions(*cmd);
    cmd->footer(Footer(s));
    cmd->callback([&app, &status, s, db, handler] {
        try {
            status = handler(*db);
            if (s.writesOutput) status = StdoutWritten(status);
        } catch (...) {
            status = StatusOfFailure(app, s.name);
        }
    });
}

}  // namespace

int RunCommandLine(int argc, char** argv) {
    CLI::App app{kAbout, kProgram};
    app.footer(ExitStatuses(kExitNotFoundHelp, kExitIngestDatabaseHelp, true));
    app.set_version_flag(kVersionFlag, std::string(kProgram) + " " + YIELD_VERSION);
    app.require_subcommand(1);
    UseWrappingHelp(app, HelpWidth());
    int status = kExitOk;
    for (const Subcommand& s : kSubcommands) Add(app, s, status);
    std::string unknown = UnknownSubcommand(argc, argv);
    if (!unknown.empty()) {
        Complain(nullptr, (unknown + kHelpHint).c_str());
        return kExitUsage;
    }
    try {
        app.parse(argc, argv);
    } catch (...) {
        return StatusOfFailure(app, nullptr);
    }
    return status;
}

}  // namespace yield
