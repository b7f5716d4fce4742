// `dispose`: what the repair desk did with a board (repaired, scrapped, returned), who did it and
// a note, recorded in the board's history. A scrapped or returned board leaves the repair queue;
// a repaired one waits there for its retest.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <ctime>
#include <memory>

#include "cli/commands.h"
#include "cli/printJson.h"
#include "report/dispositionRequest.h"
#include "report/escape.h"
#include "store/openStore.h"

namespace yield {
namespace {

constexpr char kRecorded[] = "processor ID %s: %s (run %lld)\n";

struct DisposeOptions {
    DispositionAsked asked;
    std::string format = kFormatText;
};

int RunDispose(const std::string& db, const DisposeOptions& o) {
    auto store = OpenStore(db, true);
    Disposition d = RecordDisposition(*store, o.asked, std::time(nullptr));
    if (o.format == kFormatJson) {
        PrintJson({{"id", d.id},
                   {"chip_id", d.chipId},
                   {"run_id", d.runId},
                   {"status", d.status},
                   {"by", d.by},
                   {"note", d.note},
                   {"at", d.at}});
    } else {
        std::printf(kRecorded, PrintableText(d.chipId).c_str(),
                    PrintableText(DispositionLine(d)).c_str(), d.runId);
    }
    return kExitOk;
}

}  // namespace

Handler AddDisposeOptions(CLI::App& cmd) {
    auto opts = std::make_shared<DisposeOptions>();
    cmd.add_option("id", opts->asked.chipId, "processor ID, in any case, with or without 0x")
        ->required();
    cmd.add_option("--as", opts->asked.status, "what was done: repaired, scrapped or returned")
        ->required()
        ->check(CLI::IsMember(DispositionWords()));
    cmd.add_option("--by", opts->asked.by, "who did it (at most 64 bytes)")->required();
    cmd.add_option("--note", opts->asked.note, "what was found or done (at most 1000 bytes)");
    cmd.add_option("--format", opts->format, kTextOrJson)
        ->check(CLI::IsMember({kFormatText, kFormatJson}));
    return [opts](const std::string& db) { return RunDispose(db, *opts); };
}

}  // namespace yield
