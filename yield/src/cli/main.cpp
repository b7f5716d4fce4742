#include <CLI/CLI.hpp>
#include <cstdio>
#include <new>

#include "commands.h"

int main(int argc, char** argv) {
    CLI::App app{"devuzeV7-yield: results across boards from the archived devuzeV7 trace logs.",
                 "devuzeV7-yield"};
    app.footer(yield::kExitStatusHelp);
    app.require_subcommand(1);
    int status = yield::kExitOk;
    yield::AddIngestCommand(app, status);
    yield::AddReportCommand(app, status);
    yield::AddBoardCommand(app, status);
    yield::AddExportCommand(app, status);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int rc = app.exit(e);
        return rc == 0 ? yield::kExitOk : yield::kExitUsage;
    } catch (const std::bad_alloc&) {
        std::fputs(yield::kOutOfMemory, stderr);
        return yield::kExitMemory;
    }
    return status;
}
