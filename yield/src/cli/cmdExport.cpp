// `export`: one JUnit XML or JSON test record file per stored run.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>

#include "cli/commands.h"
#include "cli/options.h"
#include "cli/printJson.h"
#include "export/exporters.h"
#include "export/runNames.h"
#include "report/reportRequest.h"
#include "store/openStore.h"
#include "store/sourceRoles.h"

namespace yield {
namespace {

constexpr char kJunit[] = "junit";
constexpr char kCannotCreate[] = "cannot create ";
constexpr char kNoRunOfIds[] = "no stored run of the processor IDs given with --id";
constexpr char kExportLead[] = "export: ";

struct ExportOptions {
    std::string format;
    std::string dir;
    RunFilter filter;
    std::vector<std::string> chipIds;  // none: every processor ID
};

constexpr char kIdHelp[] =
    "export only the runs of this processor ID (repeatable); with --since, --until, --host, "
    "--station a run must pass them all; an ID is found as board finds it, and each ID without a "
    "stored run is named on standard error (the others are still exported, and the exit status "
    "is 1)";

void MakeFolder(const std::string& dir) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir)) throw OutputError(kCannotCreate + dir);
}

// The file the run's data comes from, when the store knows it.
std::optional<SourceRow> KeptSource(ReadStore& store, long long runId) {
    for (SourceRow& row : store.SourcesOf(runId)) {
        if (row.role == kRoleKept) return std::move(row);
    }
    return std::nullopt;
}

// Writes the run's file; true when it replaced one of the same name (an earlier export of the run).
bool WriteRun(const std::string& dir, const RunRecord& run, const SourceRow* kept, bool junit) {
    auto path = std::filesystem::path(dir) / (ExportStem(run) + (junit ? ".xml" : ".json"));
    std::error_code ec;
    bool replaces = std::filesystem::exists(path, ec);
    WriteOutputFile(path.string(), [&](std::ostream& out) {
        if (junit)
            WriteRunJunitXml(run, out);
        else
            WriteRunJsonRecord(run, out, kept);
    });
    return replaces;
}

// The runs of the processor IDs asked for, found as `board` finds them; each ID without a stored
// run is named on standard error and counted in `missing`.
std::set<long long> RunsOfChips(ReadStore& store, const std::vector<std::string>& chipIds,
                                int& missing) {
    std::set<long long> runs;
    for (const std::string& chip : chipIds) {
        std::vector<BoardRuns> found = FindBoard(store, chip);
        if (found.empty()) {
            std::fprintf(stderr, "%s%s\n", kExportLead, NoRunOf(chip).c_str());
            ++missing;
        }
        for (const BoardRuns& board : found) runs.insert(board.runIds.begin(), board.runIds.end());
    }
    return runs;
}

// The filter's runs, in its order, kept to the processor IDs asked for (if any).
std::vector<long long> RunsToExport(ReadStore& store, const ExportOptions& o, int& missing) {
    std::vector<long long> ids = store.RunIds(o.filter);
    if (o.chipIds.empty()) return ids;
    std::set<long long> ofChips = RunsOfChips(store, o.chipIds, missing);
    std::vector<long long> kept;
    for (long long id : ids) {
        if (ofChips.count(id) != 0) kept.push_back(id);
    }
    return kept;
}

int RunExport(const std::string& db, const ExportOptions& o) {
    RefuseDatabaseAsOutput(db, o.dir);
    auto store = OpenReadStore(db);
    int missing = 0;
    std::vector<long long> ids = RunsToExport(*store, o, missing);
    // Every ID unknown: the filter is not to blame.
    if (ids.empty() && missing == static_cast<int>(o.chipIds.size()) && missing > 0)
        throw NotFoundError(kNoRunOfIds);
    RefuseEmptySelection(Door::kCommandLine, o.filter, static_cast<long long>(ids.size()), *store);
    if (ids.empty() && !o.chipIds.empty()) throw NotFoundError(kNoRunOfIds);
    MakeFolder(o.dir);
    bool junit = o.format == kJunit;
    long long written = 0;
    long long replaced = 0;
    for (long long id : ids) {
        std::optional<SourceRow> kept = junit ? std::nullopt : KeptSource(*store, id);
        replaced += WriteRun(o.dir, store->LoadRun(id), kept ? &*kept : nullptr, junit) ? 1 : 0;
        ++written;
    }
    std::printf("export: %lld %s file(s) in %s, %lld replaced\n", written, o.format.c_str(),
                o.dir.c_str(), replaced);
    return missing == 0 ? kExitOk : kExitNotFound;
}

}  // namespace

Handler AddExportOptions(CLI::App& cmd) {
    auto opts = std::make_shared<ExportOptions>();
    cmd.add_option("--format", opts->format, "junit or json")
        ->check(CLI::IsMember({kJunit, kFormatJson}))
        ->required();
    cmd.add_option("-o,--output", opts->dir, "output folder (created when missing)")->required();
    AddRunFilterOptions(cmd, opts->filter);
    cmd.add_option("--id", opts->chipIds, kIdHelp);
    return [opts](const std::string& db) { return RunExport(db, *opts); };
}

}  // namespace yield
