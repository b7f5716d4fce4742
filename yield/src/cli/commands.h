// The subcommands of devuzeV7-yield, each in a file of its own, and the exit statuses they share.
#pragma once

#include <string>

namespace CLI {
class App;
}

namespace yield {

struct RunFilter;

// Exit statuses (also in `devuzeV7-yield --help`).
constexpr int kExitOk = 0;
constexpr int kExitNotFound = 1;  // board: no run of that processor ID
constexpr int kExitUsage = 2;     // a wrong option or argument
constexpr int kExitDatabase = 3;  // the database cannot be opened, read or written
constexpr int kExitOutput = 4;    // an output file or folder cannot be written
constexpr int kExitMemory = 5;    // memory ran out

constexpr char kDefaultDb[] = "devuzeV7-yield.db";
constexpr char kDbHelp[] =
    "the database: a SQLite file (ingest creates it), or a PostgreSQL server as "
    "postgresql://[user[:password]@][host][:port][/dbname][?param=value...] or as postgresql: "
    "alone, which takes PGHOST, PGPORT, PGDATABASE, PGUSER and the other PG* variables";
constexpr char kExitStatusHelp[] =
    "Exit status: 0 done; 1 board: no run of that processor ID; 2 usage error; "
    "3 the database cannot be opened, read or written, a PostgreSQL server refused the login or "
    "the connection was lost (one line on standard error says which; an ingest keeps every "
    "batch of 1,000 files it completed and nothing of the one it was in, so running it again "
    "completes the data); 4 an output file or folder cannot be written (a file written with -o "
    "appears whole or not at all, and one that was there stays); 5 memory ran out (one line on "
    "standard error).";
constexpr char kOutOfMemory[] = "devuzeV7-yield: out of memory\n";

// Each adds its subcommand to `app`; the subcommand's callback stores its exit status in `status`.
void AddIngestCommand(CLI::App& app, int& status);
void AddReportCommand(CLI::App& app, int& status);
void AddBoardCommand(CLI::App& app, int& status);
void AddExportCommand(CLI::App& app, int& status);

// True, with one line on standard error, when `output` is the database's file or one of its
// journals: writing it would destroy the database.
bool RefuseDatabaseAsOutput(const char* command, const std::string& db, const std::string& output);

// --since and --until (YYYY-MM-DD, inclusive) and --host, filling `filter`.
void AddRunFilterOptions(CLI::App& cmd, RunFilter& filter);

}  // namespace yield
