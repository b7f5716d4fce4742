// `problems`: the files an ingest recorded as holding no run (empty, foreign, unreadable), with
// the reason and whether the next ingest reads them again.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>

#include "cli/commands.h"
#include "cli/printJson.h"
#include "report/escape.h"
#include "store/openStore.h"
#include "store/sourceRoles.h"

namespace yield {
namespace {

constexpr char kRetriedAlways[] = "retried at the next ingest";
constexpr char kRetriedOnChange[] = "retried when its size or time changes";
constexpr char kCount[] = "%zu problem file(s)\n";
constexpr char kLine[] = "%s  (%lld bytes)  %s; %s\n";

struct ProblemsOptions {
    std::string format = kFormatText;
};

// A file that could not be read says nothing by its size and time: every ingest tries it again.
bool RetriedAtNextIngest(const SourceRow& row) { return row.role == kRoleUnread; }

void PrintText(const std::vector<SourceRow>& rows) {
    std::printf(kCount, rows.size());
    for (const SourceRow& r : rows) {
        std::printf(kLine, PrintableText(r.path).c_str(), r.size, PrintableText(r.reason).c_str(),
                    RetriedAtNextIngest(r) ? kRetriedAlways : kRetriedOnChange);
    }
}

void PrintJsonList(const std::vector<SourceRow>& rows) {
    nlohmann::json files = nlohmann::json::array();
    for (const SourceRow& r : rows) {
        files.push_back({{"path", r.path},
                         {"size", r.size},
                         {"reason", r.reason},
                         {"retried_at_next_ingest", RetriedAtNextIngest(r)}});
    }
    PrintJson({{"problems", files}});
}

int RunProblems(const std::string& db, const ProblemsOptions& o) {
    auto store = OpenReadStore(db);
    std::vector<SourceRow> rows = store->ProblemFiles();
    if (o.format == kFormatJson)
        PrintJsonList(rows);
    else
        PrintText(rows);
    return kExitOk;
}

}  // namespace

Handler AddProblemsOptions(CLI::App& cmd) {
    auto opts = std::make_shared<ProblemsOptions>();
    cmd.add_option("--format", opts->format, kTextOrJson)
        ->check(CLI::IsMember({kFormatText, kFormatJson}));
    return [opts](const std::string& db) { return RunProblems(db, *opts); };
}

}  // namespace yield
