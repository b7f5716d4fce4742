// `board`: every stored run of one processor ID, newest first, and the files it was found in.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>

#include "commands.h"
#include "escape.h"
#include "openStore.h"

namespace yield {
namespace {

constexpr char kNoRun[] = "no run of processor ID ";
constexpr char kHexPrefix[] = "0x";

std::string Join(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& s : items) out += (out.empty() ? "" : ",") + s;
    return out.empty() ? "-" : out;
}

void PrintRun(ReadStore& store, long long id) {
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

void PrintChip(ReadStore& store, const std::string& chipId, const std::vector<long long>& ids) {
    std::printf("processor ID %s: %zu run(s), newest first\n", PrintableText(chipId).c_str(),
                ids.size());
    for (long long id : ids) PrintRun(store, id);
}

// `chipId` without a leading 0x in either case.
std::string WithoutHexPrefix(const std::string& chipId) {
    bool prefixed = chipId.size() > 2 && chipId[0] == kHexPrefix[0] &&
                    (chipId[1] == kHexPrefix[1] || chipId[1] == 'X');
    return prefixed ? chipId.substr(2) : chipId;
}

// The ID as logged first; else every stored ID that is the same in another case or prefix.
int RunBoard(const std::string& db, const std::string& chipId) {
    auto store = OpenReadStore(db);
    std::vector<long long> ids = store->RunIdsOfChip(chipId);
    if (!ids.empty()) {
        PrintChip(*store, chipId, ids);
        return kExitOk;
    }
    std::vector<std::string> alike = store->ChipIdsLike(WithoutHexPrefix(chipId));
    if (alike.empty()) throw NotFoundError(kNoRun + PrintableText(chipId));
    for (const std::string& id : alike) PrintChip(*store, id, store->RunIdsOfChip(id));
    return kExitOk;
}

}  // namespace

Handler AddBoardOptions(CLI::App& cmd) {
    auto chipId = std::make_shared<std::string>();
    cmd.add_option("id", *chipId, "processor ID, in any case, with or without 0x")->required();
    return [chipId](const std::string& db) { return RunBoard(db, *chipId); };
}

}  // namespace yield
