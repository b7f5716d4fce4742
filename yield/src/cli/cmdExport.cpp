#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>

#include "commands.h"
#include "exporters.h"
#include "outputFile.h"
#include "store.h"

namespace yield {
namespace {

struct ExportOptions {
    std::string db = kDefaultDb;
    std::string format;
    std::string dir;
    RunFilter filter;
};

bool WriteFile(const std::filesystem::path& path, const RunRecord& run, bool junit) {
    OutputFile out(path.string());
    if (out.ok() && junit) WriteRunJunitXml(run, out.stream());
    if (out.ok() && !junit) WriteRunJsonRecord(run, out.stream());
    return out.Commit();
}

int RunExport(const ExportOptions& o) {
    if (RefuseDatabaseAsOutput("export", o.db, o.dir)) return kExitUsage;
    std::error_code ec;
    std::filesystem::create_directories(o.dir, ec);
    if (!std::filesystem::is_directory(o.dir)) {
        std::fprintf(stderr, "devuzeV7-yield export: cannot create %s\n", o.dir.c_str());
        return kExitOutput;
    }
    bool junit = o.format == "junit";
    long long written = 0;
    try {
        auto store = OpenStore(o.db, false);
        for (long long id : store->RunIds(o.filter)) {
            RunRecord run = store->LoadRun(id);
            std::string stem = ExportStem(id, run);
            auto path = std::filesystem::path(o.dir) / (stem + (junit ? ".xml" : ".json"));
            if (!WriteFile(path, run, junit)) {
                std::fprintf(stderr, "devuzeV7-yield export: cannot write %s\n", path.c_str());
                return kExitOutput;
            }
            ++written;
        }
    } catch (const StoreError& e) {
        std::fprintf(stderr, "devuzeV7-yield export: %s\n", e.what());
        return kExitDatabase;
    }
    std::printf("export: %lld %s file(s) in %s\n", written, o.format.c_str(), o.dir.c_str());
    return kExitOk;
}

}  // namespace

void AddExportCommand(CLI::App& app, int& status) {
    auto opts = std::make_shared<ExportOptions>();
    CLI::App* cmd = app.add_subcommand(
        "export",
        "One file per stored run: JUnit XML (a suite per run, a test case per port and per "
        "judged measurement, failures with the log lines that explain them) or a JSON test "
        "record (device ID, start and end, outcome, phases with measurements and limits).");
    cmd->add_option("--db", opts->db, kDbHelp)->capture_default_str();
    cmd->add_option("--format", opts->format, "junit or json")
        ->check(CLI::IsMember({"junit", "json"}))
        ->required();
    cmd->add_option("-o,--output", opts->dir, "output folder (created when missing)")->required();
    AddRunFilterOptions(*cmd, opts->filter);
    cmd->footer(kExitStatusHelp);
    cmd->callback([opts, &status] { status = RunExport(*opts); });
}

}  // namespace yield
