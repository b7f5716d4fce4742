// `board`: every stored run of one processor ID, newest first, and the files it was found in; as
// text for a person or as JSON for a script.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>

#include "cli/commands.h"
#include "cli/printJson.h"
#include "export/exporters.h"
#include "parse/failureCauses.h"
#include "parse/recordWords.h"
#include "report/dispositionRequest.h"
#include "report/escape.h"
#include "report/reportRequest.h"
#include "store/openStore.h"

namespace yield {
namespace {

using nlohmann::json;

constexpr char kCauseWord[] = "failed:";
constexpr size_t kCauseLineBytes = 120;  // a log line quoted as a cause is cut to this

struct BoardOptions {
    std::string chipId;
    std::string format = kFormatText;
};

std::string Join(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& s : items) out += (out.empty() ? "" : ",") + s;
    return out.empty() ? "-" : out;
}

void PrintRun(ReadStore& store, long long id) {
    RunRecord run = store.LoadRun(id);
    std::printf("%s  %-10s station %s  host %s  failing %s%s\n",
                PrintableText(run.timeStamp).c_str(), VerdictWord(run.verdict),
                run.station.empty() ? "-" : PrintableText(run.station).c_str(),
                PrintableText(run.host).c_str(), PrintableText(Join(run.FailingPorts())).c_str(),
                run.headerless ? "  (rotated tail)" : "");
    if (run.verdict == Verdict::Err) {
        for (const FailureCause& c : FailureCauses(run))
            std::printf("    %s %s\n", kCauseWord, PrintableText(c.Text(kCauseLineBytes)).c_str());
    }
    for (const SourceRow& s : store.SourcesOf(id)) {
        std::printf("    %-4s %s (%lld bytes, %d lines%s)\n", s.role.c_str(),
                    PrintableText(s.path).c_str(), s.size, s.records,
                    s.complete ? "" : ", no verdict");
    }
}

json MeasurementJson(const Measurement& m) {
    json j = {{"cycle", m.cycle}, {"name", m.name},   {"outcome", m.outcome},
              {"unit", m.unit},   {"value", m.value}, {"text", m.text}};
    j["low"] = m.hasLimits ? json(m.low) : json();
    j["high"] = m.hasLimits ? json(m.high) : json();
    return j;
}

// What the log measured on a failing port: its failed values, or all of them when none was
// judged a failure (a port that failed on its tallies).
json ValuesOf(const RunRecord& run, const std::string& port) {
    json failed = json::array(), all = json::array();
    for (const Measurement& m : run.measurements) {
        if (m.port != port) continue;
        all.push_back(MeasurementJson(m));
        if (m.outcome == kOutcomeFail) failed.push_back(all.back());
    }
    return failed.empty() ? all : failed;
}

json FailingJson(const RunRecord& run) {
    Explanations explain(run);
    json out = json::array();
    for (const std::string& port : run.FailingPorts()) {
        json lines = json::array();
        explain.ForEach(port, [&lines](const std::string& line) { lines.push_back(line); });
        out.push_back({{"port", port}, {"values", ValuesOf(run, port)}, {"log", lines}});
    }
    return out;
}

json FailuresJson(const RunRecord& run) {
    json out = json::array();
    if (run.verdict != Verdict::Err) return out;
    for (const FailureCause& c : FailureCauses(run)) out.push_back(CauseJson(c));
    return out;
}

json FilesJson(const std::vector<SourceRow>& sources) {
    json out = json::array();
    for (const SourceRow& s : sources) {
        out.push_back({{"path", s.path},
                       {"role", s.role},
                       {"size", s.size},
                       {"lines", s.records},
                       {"complete", s.complete},
                       {"sha256", s.sha256.empty() ? json() : json(s.sha256)}});
    }
    return out;
}

json RunJson(ReadStore& store, long long id) {
    RunRecord run = store.LoadRun(id);
    return {{"host", run.host},
            {"station", run.station.empty() ? json() : json(run.station)},
            {"start_stamp", run.timeStamp},
            {"start", IsoTime(run.startedAt)},
            {"end", IsoTime(run.endedAt)},
            {"verdict", VerdictWord(run.verdict)},
            {"rotated_tail", run.headerless},
            {"failing", FailingJson(run)},
            {"failures", FailuresJson(run)},
            {"files", FilesJson(store.SourcesOf(id))}};
}

json DispositionsJson(const std::vector<Disposition>& history) {
    json out = json::array();
    for (const Disposition& d : history) {
        out.push_back({{"status", d.status},
                       {"by", d.by},
                       {"note", d.note},
                       {"at", d.at},
                       {"run_id", d.runId}});
    }
    return out;
}

void PrintBoardJson(ReadStore& store, const std::string& chipId,
                    const std::vector<long long>& ids) {
    json runs = json::array();
    for (long long id : ids) runs.push_back(RunJson(store, id));
    PrintJson({{"chip_id", chipId},
               {"runs", runs},
               {"dispositions", DispositionsJson(store.DispositionsOf(chipId))}});
}

void PrintChip(ReadStore& store, const std::string& chipId, const std::vector<long long>& ids) {
    std::printf("processor ID %s: %zu run(s), newest first\n", PrintableText(chipId).c_str(),
                ids.size());
    for (long long id : ids) PrintRun(store, id);
    std::vector<Disposition> history = store.DispositionsOf(chipId);
    if (history.empty()) return;
    std::printf("dispositions, oldest first:\n");
    for (const Disposition& d : history)
        std::printf("  %s\n", PrintableText(DispositionLine(d)).c_str());
}

void PrintBoard(ReadStore& store, const BoardOptions& o, const std::string& chipId,
                const std::vector<long long>& ids) {
    if (o.format == kFormatJson)
        PrintBoardJson(store, chipId, ids);
    else
        PrintChip(store, chipId, ids);
}

// The ID as logged first; else every stored ID that is the same in another case or prefix.
int RunBoard(const std::string& db, const BoardOptions& o) {
    auto store = OpenReadStore(db);
    std::vector<BoardRuns> found = FindBoard(*store, o.chipId);
    if (found.empty()) throw NotFoundError(NoRunOf(o.chipId));
    for (const BoardRuns& board : found) PrintBoard(*store, o, board.chipId, board.runIds);
    return kExitOk;
}

}  // namespace

Handler AddBoardOptions(CLI::App& cmd) {
    auto opts = std::make_shared<BoardOptions>();
    cmd.add_option("id", opts->chipId, "processor ID, in any case, with or without 0x")->required();
    cmd.add_option("--format", opts->format, kTextOrJson)
        ->check(CLI::IsMember({kFormatText, kFormatJson}));
    return [opts](const std::string& db) { return RunBoard(db, *opts); };
}

}  // namespace yield
