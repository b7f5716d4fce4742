// `export`: one JUnit XML or JSON test record file per stored run.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "commands.h"
#include "exporters.h"
#include "options.h"
#include "runNames.h"
#include "openStore.h"

namespace yield {
namespace {

constexpr char kJunit[] = "junit";
constexpr char kJson[] = "json";
constexpr char kCannotCreate[] = "cannot create ";

struct ExportOptions {
    std::string format;
    std::string dir;
    RunFilter filter;
};

void MakeFolder(const std::string& dir) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir)) throw OutputError(kCannotCreate + dir);
}

void WriteRun(const std::string& dir, long long id, const RunRecord& run, bool junit) {
    auto path = std::filesystem::path(dir) / (ExportStem(id, run) + (junit ? ".xml" : ".json"));
    WriteOutputFile(path.string(), [&](std::ostream& out) {
        if (junit)
            WriteRunJunitXml(run, out);
        else
            WriteRunJsonRecord(run, out);
    });
}

int RunExport(const std::string& db, const ExportOptions& o) {
    RefuseDatabaseAsOutput(db, o.dir);
    auto store = OpenReadStore(db);
    std::vector<long long> ids = store->RunIds(o.filter);
    RefuseEmptySelection(o.filter, static_cast<long long>(ids.size()));
    MakeFolder(o.dir);
    bool junit = o.format == kJunit;
    long long written = 0;
    for (long long id : ids) {
        WriteRun(o.dir, id, store->LoadRun(id), junit);
        ++written;
    }
    std::printf("export: %lld %s file(s) in %s\n", written, o.format.c_str(), o.dir.c_str());
    return kExitOk;
}

}  // namespace

Handler AddExportOptions(CLI::App& cmd) {
    auto opts = std::make_shared<ExportOptions>();
    cmd.add_option("--format", opts->format, "junit or json")
        ->check(CLI::IsMember({kJunit, kJson}))
        ->required();
    cmd.add_option("-o,--output", opts->dir, "output folder (created when missing)")->required();
    AddRunFilterOptions(cmd, opts->filter);
    return [opts](const std::string& db) { return RunExport(db, *opts); };
}

}  // namespace yield
