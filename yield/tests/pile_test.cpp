// A pile of copies as an operator hands it over, on each database engine: whole logs in the
// flash and stick folders, copies cut inside the run header by a stick pulled during the copy, and
// copies made by a tool that ends lines with CR LF.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <set>
#include <tuple>

#include "ingest.h"
#include "logParser.h"
#include "openStore.h"
#include "testDb.h"
#include "testSupport.h"

namespace fs = std::filesystem;
using namespace yield;
using yieldtest::ReadAll;
using yieldtest::WriteAll;

namespace {

using RunKey = std::tuple<std::string, std::string, std::string, std::string>;

constexpr char kCutShort[] = "run header cut short (no host, processor ID or time stamp)";

std::string WithCrLf(const std::string& log) {
    std::string out;
    for (char c : log) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

// Offsets inside each key value, its caller tail, and the next record's prefix.
std::vector<size_t> HeaderCuts(const std::string& log) {
    std::vector<size_t> cuts;
    for (const char* tag : {"] hostname:", "] DateTime:", "] iMx6ull:"}) {
        size_t value = log.find(tag) + std::string(tag).size();
        size_t tab = log.find('\t', value);
        size_t lineEnd = log.find('\n', tab);
        cuts.insert(cuts.end(), {value + 2, tab + 4, lineEnd + 5});
    }
    return cuts;
}

// The scenario's folders as the golden set has them, and more copies on further sticks: the
// flash log with CR LF line ends, and the flash log cut inside its header, each under its name.
void LayOut(const fs::path& scenario, const fs::path& to) {
    fs::copy(scenario, to, fs::copy_options::recursive);
    fs::remove(to / "expected.json");
    fs::path flash = yieldtest::GoldenFlashLog(scenario.filename().string());
    std::string log = ReadAll(flash);
    std::string name, host, chip, stamp;
    ParseArchiveName(flash.filename().string(), host, chip, stamp);
    name = "deVuzeV7_" + host + "[" + chip + "]_" + stamp + ".log";
    std::string verdictFolder =
        flash.filename().string().find("[OK]") != std::string::npos ? "TestQ7[OK]" : "TestQ7[ERR]";
    WriteAll(to / "media/sdb1" / verdictFolder / name, WithCrLf(log));
    std::vector<size_t> cuts = HeaderCuts(log);
    for (size_t i = 0; i < cuts.size(); ++i) {
        fs::path stick = to / "media" / ("sdc" + std::to_string(10 + i));
        WriteAll(stick / verdictFolder / name, log.substr(0, cuts[i]));
    }
}

class PileTest : public ::testing::Test {
protected:
    std::unique_ptr<yieldtest::TestDb> db_ = yieldtest::TestDb::Make(YIELD_TEST_ENGINE);
};

}  // namespace

TEST_F(PileTest, EveryRunOnceWithItsKeyWhateverCopiesOfItArePiledUp) {
    yieldtest::TempDir tmp;
    std::set<RunKey> expected;
    for (const auto& scenario : fs::directory_iterator(YIELD_GOLDEN_DIR)) {
        nlohmann::json bench = nlohmann::json::parse(ReadAll(scenario.path() / "expected.json"));
        std::string host, chip, stamp;
        fs::path flash = yieldtest::GoldenFlashLog(scenario.path().filename().string());
        ParseArchiveName(flash.filename().string(), host, chip, stamp);
        expected.emplace(bench["hostname"], chip, stamp, bench["verdict"]);
        LayOut(scenario.path(), tmp.path() / scenario.path().filename());
    }
    long long files = 0;
    for (const auto& f : fs::recursive_directory_iterator(tmp.path())) files += f.is_regular_file();
    auto store = OpenStore(db_->Url(), true);
    IngestStats stats = Ingest(*store, {tmp.path().string()}, nullptr);

    std::set<RunKey> stored;
    for (long long id : store->RunIds(RunFilter())) {
        RunRecord run = store->LoadRun(id);
        stored.emplace(run.host, run.chipId, run.timeStamp, VerdictWord(run.verdict));
        for (const SourceRow& s : store->SourcesOf(id))
            EXPECT_TRUE(s.role != "kept" || s.path.find("/sdc") == std::string::npos) << s.path;
    }
    EXPECT_EQ(stored, expected);
    EXPECT_EQ(db_->Count("SELECT COUNT(*) FROM runs"), static_cast<long long>(expected.size()));
    EXPECT_EQ(stats.runsNew, static_cast<long long>(expected.size()));
    EXPECT_EQ(stats.replaced, 0);
    EXPECT_EQ(stats.copies + stats.problems, files - stats.runsNew);
    // Only a cut host the board had to escape in the name is left without its run.
    EXPECT_GT(stats.problems, 0);
    for (const auto& [path, why] : stats.problemList) {
        EXPECT_NE(path.find("hostname-forged-verdict/media/sdc"), std::string::npos) << path;
        EXPECT_EQ(why, kCutShort);
    }
}
