#include <CLI/CLI.hpp>
#include <cstdio>

#include "commands.h"
#include "escape.h"
#include "store.h"

namespace yield {
namespace {

struct BoardOptions {
    std::string db = kDefaultDb;
    std::string chipId;
};

std::string Join(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& s : items) out += (out.empty() ? "" : ",") + s;
    return out.empty() ? "-" : out;
}

void PrintRun(RunStore& store, long long id) {
    RunRecord run = store.LoadRun(id);
    std::printf("%s  %-10s host %s  failing %s%s\n", PrintableText(run.timeStamp).c_str(),
                VerdictWord(run.verdict), PrintableText(run.host).c_str(),
                PrintableText(Join(run.FailingPorts())).c_str(),
                run.headerless ? "  (rotated tail)" : "");
    for (const SourceRow& s : store.SourcesOf(id)) {
        std::printf("    %-4s %s (%lld bytes, %d lines%s)\n", s.role.c_str(),
                    PrintableText(s.path).c_str(), s.size, s.records,
                    s.complete ? "" : ", no verdict");
    }
}

int RunBoard(const BoardOptions& o) {
    try {
        auto store = OpenStore(o.db, false);
        std::vector<long long> ids = store->RunIdsOfChip(o.chipId);
        if (ids.empty()) {
            std::fprintf(stderr, "devuzeV7-yield board: no run of processor ID %s\n",
                         PrintableText(o.chipId).c_str());
            return kExitNotFound;
        }
        std::printf("processor ID %s: %zu run(s), newest first\n", PrintableText(o.chipId).c_str(),
                    ids.size());
        for (long long id : ids) PrintRun(*store, id);
    } catch (const StoreError& e) {
        std::fprintf(stderr, "devuzeV7-yield board: %s\n", e.what());
        return kExitDatabase;
    }
    return kExitOk;
}

}  // namespace

void AddBoardCommand(CLI::App& app, int& status) {
    auto opts = std::make_shared<BoardOptions>();
    CLI::App* cmd = app.add_subcommand(
        "board",
        "Every run of one processor ID, newest first: verdict, failing ports and the files its "
        "log was found in (kept: the copy the data comes from; copy: the others).");
    cmd->add_option("--db", opts->db, kDbHelp)->capture_default_str();
    cmd->add_option("id", opts->chipId, "processor ID as the log gives it")->required();
    cmd->footer(kExitStatusHelp);
    cmd->callback([opts, &status] { status = RunBoard(*opts); });
}

}  // namespace yield
