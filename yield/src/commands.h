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

constexpr char kDefaultDb[] = "devuzeV7-yield.db";
constexpr char kExitStatusHelp[] =
    "Exit status: 0 done; 1 board: no run of that processor ID; 2 usage error; "
    "3 the database cannot be opened, read or written; 4 an output file or folder cannot be "
    "written.";

// Each adds its subcommand to `app`; the subcommand's callback stores its exit status in `status`.
void AddIngestCommand(CLI::App& app, int& status);
void AddReportCommand(CLI::App& app, int& status);
void AddBoardCommand(CLI::App& app, int& status);
void AddExportCommand(CLI::App& app, int& status);

// --since and --until (YYYY-MM-DD, inclusive) and --host, filling `filter`.
void AddRunFilterOptions(CLI::App& cmd, RunFilter& filter);

}  // namespace yield
