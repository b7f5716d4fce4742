// The subcommands of devuzeV7-yield: one table (subcommands.cpp) gives each its name, its
// description and the function that adds its own options; the table adds what all of them share
// (--db, the exit-status footer) and maps every failure to its exit status in one place. Each
// subcommand's work is in a file of its own (cmdIngest.cpp, cmdReport.cpp, ...); the options
// several of them take are in options.h.
#pragma once

#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>

namespace CLI {
class App;
}

namespace yield {

// Exit statuses (also in `devuzeV7-yield --help` and in each subcommand's help).
constexpr int kExitOk = 0;
constexpr int kExitNotFound = 1;  // nothing of what was named: a processor ID, a filter, a path
constexpr int kExitUsage = 2;     // a wrong option or argument
constexpr int kExitDatabase = 3;  // the database cannot be opened, read or written
constexpr int kExitOutput = 4;    // an output file or folder cannot be written
constexpr int kExitMemory = 5;    // memory ran out

constexpr char kDefaultDb[] = "devuzeV7-yield.db";
constexpr char kDbEnvironment[] = "DEVUZE_YIELD_DB";
constexpr char kDbHelp[] =
    "the database (default: DEVUZE_YIELD_DB when set, else devuzeV7-yield.db): a SQLite file "
    "(ingest creates it), or a PostgreSQL server as "
    "postgresql://[user[:password]@][host][:port][/dbname][?param=value...] or as postgresql: "
    "alone, which takes PGHOST, PGPORT, PGDATABASE, PGUSER and the other PG* variables";

// The exit statuses as the help gives them, each subcommand's own status 1 with it.
constexpr char kExitStatusLead[] = "Exit status: ";
constexpr char kExitDoneHelp[] = "0 done";
constexpr char kExitNotFoundHelp[] =
    "1 nothing of what was named: board: no run of that processor ID; report, export: --since, "
    "--until, --host or --station selects no run; export: an --id without a stored run; ingest: a "
    "path given does not exist";
constexpr char kExitUsageHelp[] = "2 usage error";
#define YIELD_EXIT_DATABASE                                                                       \
    "3 the database cannot be opened, read or written, a PostgreSQL server refused the login or " \
    "the connection was lost (one line on standard error says which"
constexpr char kExitDatabaseHelp[] = YIELD_EXIT_DATABASE ")";
constexpr char kExitIngestDatabaseHelp[] = YIELD_EXIT_DATABASE
    "; an ingest keeps every batch of 1,000 files it completed and nothing of the one it was in, "
    "so running it again completes the data)";
#undef YIELD_EXIT_DATABASE
constexpr char kExitOutputHelp[] =
    "4 an output file or folder, or standard output, cannot be written (a file written with -o "
    "appears whole or not at all, and one that was there stays)";
constexpr char kExitMemoryHelp[] = "5 memory ran out (one line on standard error)";
constexpr char kOutOfMemory[] = "devuzeV7-yield: out of memory\n";

// What a subcommand throws to end with a status other than 0; the table writes the message as
// "devuzeV7-yield <subcommand>: <message>" on standard error. A StoreError ends with kExitDatabase.
struct NotFoundError : std::runtime_error {  // kExitNotFound
    using std::runtime_error::runtime_error;
};
struct UsageError : std::runtime_error {  // kExitUsage
    using std::runtime_error::runtime_error;
};
struct OutputError : std::runtime_error {  // kExitOutput
    using std::runtime_error::runtime_error;
};

// A subcommand's work, run once the command line is parsed, with the database --db names.
// Returns an exit status, or throws one of the errors above.
using Handler = std::function<int(const std::string& db)>;

// Adds a subcommand's own options to `cmd` (after --db) and returns its handler, which reads the
// options' values.
using AddOptions = Handler (*)(CLI::App& cmd);

struct Subcommand {
    const char* name;
    const char* description;
    AddOptions addOptions;
    const char* examples;  // lines of the help's "Examples:" part
    const char* notFound;  // what its exit status 1 means
    bool writesOutput;     // whether it can end with kExitOutput
    bool ingests;          // whether it writes into the database
};

Handler AddIngestOptions(CLI::App& cmd);
Handler AddReportOptions(CLI::App& cmd);
Handler AddBoardOptions(CLI::App& cmd);
Handler AddExportOptions(CLI::App& cmd);
Handler AddProblemsOptions(CLI::App& cmd);
Handler AddDisposeOptions(CLI::App& cmd);
Handler AddWatchOptions(CLI::App& cmd);

// What ingest and watch share: the figures of the summary line, the --station option.
struct IngestStats;
std::string IngestFigures(const IngestStats& stats);
// One line per file an ingest skipped ("skipped PATH: reason") or stored cut ("noted ...").
void PrintIngestProblems(const IngestStats& stats, std::FILE* to);
void AddStationOption(CLI::App& cmd, std::string& station);
Handler AddServeOptions(CLI::App& cmd);
Handler AddAlarmsOptions(CLI::App& cmd);
Handler AddCheckOptions(CLI::App& cmd);

// Parses the command line, runs the subcommand it names and returns the exit status.
int RunCommandLine(int argc, char** argv);

}  // namespace yield
