#include <unistd.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>

#include "commands.h"
#include "dbFiles.h"
#include "escape.h"
#include "ingest.h"

namespace yield {
namespace {

constexpr char kSkipped[] = "skipped";  // a file that holds no run, or cannot be read
constexpr char kNoted[] = "noted";      // a run stored cut to bounds

struct IngestOptions {
    std::string db = kDefaultDb;
    std::vector<std::string> paths;
};

void PrintProgress(const IngestStats& s) {
    static auto last = std::chrono::steady_clock::time_point();
    auto now = std::chrono::steady_clock::now();
    if (s.read != s.total && now - last < std::chrono::milliseconds(100)) return;
    last = now;
    double rate = s.seconds > 0 ? static_cast<double>(s.read) / s.seconds : 0;
    std::fprintf(stderr,
                 "\r\033[Kfiles %lld/%lld  runs new %lld  replaced %lld  copies %lld  "
                 "unchanged %lld  problems %lld  %.0f files/s",
                 s.read, s.total, s.runsNew, s.replaced, s.copies, s.unchanged, s.problems, rate);
}

int RunIngest(const IngestOptions& o) {
    bool terminal = isatty(STDERR_FILENO) != 0;
    IngestStats s;
    try {
        auto store = OpenStore(o.db, true);
        s = Ingest(*store, o.paths, terminal ? PrintProgress : nullptr, DatabaseFiles(o.db));
    } catch (const StoreError& e) {
        if (terminal) std::fputc('\n', stderr);
        std::fprintf(stderr, "devuzeV7-yield ingest: %s\n", e.what());
        return kExitDatabase;
    }
    if (terminal) std::fputc('\n', stderr);
    for (const auto& [path, why] : s.problemList) {
        bool stored = why.rfind(kStoredCut, 0) == 0;
        std::printf("%s %s: %s\n", stored ? kNoted : kSkipped, PrintableText(path).c_str(),
                    PrintableText(why).c_str());
    }
    std::printf(
        "ingest: %lld files, %lld runs new, %lld replaced, %lld copies, %lld unchanged, "
        "%lld problems, %.2f s\n",
        s.total, s.runsNew, s.replaced, s.copies, s.unchanged, s.problems, s.seconds);
    return kExitOk;
}

}  // namespace

void AddIngestCommand(CLI::App& app, int& status) {
    auto opts = std::make_shared<IngestOptions>();
    CLI::App* cmd = app.add_subcommand(
        "ingest",
        "Read archived trace logs (files or folders, any depth) into the database. The same run "
        "found in several copies is stored once, from its most complete copy; ingesting the "
        "same files again changes nothing. Empty, foreign and unreadable files are listed. Several "
        "ingests may write into one database at once (stations uploading the same day, folders "
        "that overlap): each run is still stored once.");
    cmd->add_option("--db", opts->db, kDbHelp)
        ->capture_default_str();
    cmd->add_option("paths", opts->paths, "files and folders to read")->required();
    cmd->footer(kExitStatusHelp);
    cmd->callback([opts, &status] { status = RunIngest(*opts); });
}

}  // namespace yield
