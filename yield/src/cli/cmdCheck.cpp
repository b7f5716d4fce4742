// `check`: the tallies the reports read, recomputed from the stored rows and compared; exit 1
// with each difference when they disagree.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>

#include "cli/commands.h"
#include "store/openStore.h"

namespace yield {
namespace {

constexpr char kAgrees[] = "check: the tallies agree with the rows of %lld runs (%s)\n";
constexpr char kDiffers[] =
    "check: %lld rows differ between the tallies and the rows of %lld runs\n";
constexpr char kDifference[] = "  %s\n";
constexpr char kMore[] = "  ... and %lld more\n";
constexpr char kTableSeparator[] = "; ";

int RunCheck(const std::string& db) {
    auto store = OpenReadStore(db);
    TallyCheckResult r = store->CheckTallies();
    if (r.differences == 0) {
        std::string tables;
        for (const std::string& t : r.tables) tables += (tables.empty() ? "" : kTableSeparator) + t;
        std::printf(kAgrees, r.runs, tables.c_str());
        return kExitOk;
    }
    std::printf(kDiffers, r.differences, r.runs);
    for (const std::string& line : r.shown) std::printf(kDifference, line.c_str());
    auto shown = static_cast<long long>(r.shown.size());
    if (r.differences > shown) std::printf(kMore, r.differences - shown);
    return kExitNotFound;
}

}  // namespace

Handler AddCheckOptions(CLI::App& cmd) {
    static_cast<void>(cmd);
    return [](const std::string& db) { return RunCheck(db); };
}

}  // namespace yield
