// The same logs into SQLite and into PostgreSQL: every report, export and board answer is the
// same, byte for byte.
#include <gtest/gtest.h>

#include "pgTestSupport.h"
#include "testDb.h"

namespace fs = std::filesystem;
using yieldtest::Q;
using yieldtest::Result;
using yieldtest::TempDir;
using yieldtest::TestDb;
using yieldtest::Tool;

namespace {

// Every file under `dir`, by name, with its bytes.
std::map<std::string, std::string> Files(const fs::path& dir) {
    std::map<std::string, std::string> out;
    for (const auto& f : fs::recursive_directory_iterator(dir))
        if (f.is_regular_file()) out[fs::relative(f.path(), dir).string()] = yieldtest::ReadAll(f);
    return out;
}

std::string WithoutTime(std::string summary) {
    size_t comma = summary.rfind(", ");
    return comma == std::string::npos ? summary : summary.substr(0, comma);
}

}  // namespace

TEST(BothEngines, SameLogsGiveTheSameReportsExportsAndBoardAnswers) {
    TempDir tmp;
    // The golden archives, a stick with half copies (replaced later by whole ones) and a second
    // host's runs.
    yieldtest::MakeRuns(tmp.path() / "stick", 0, 30, true);
    yieldtest::MakeRuns(tmp.path() / "flash", 0, 40, false, true);
    std::vector<std::string> ingests = {Q(YIELD_GOLDEN_DIR), Q(tmp.path() / "stick"),
                                        Q(tmp.path() / "flash"), Q(YIELD_GOLDEN_DIR)};
    std::vector<std::unique_ptr<TestDb>> dbs;
    dbs.push_back(TestDb::Make("sqlite"));
    dbs.push_back(TestDb::Make("postgresql"));
    std::vector<std::map<std::string, std::string>> outputs(dbs.size());
    for (size_t e = 0; e < dbs.size(); ++e) {
        std::string db = "--db " + Q(dbs[e]->Url());
        std::map<std::string, std::string>& out = outputs[e];
        for (size_t i = 0; i < ingests.size(); ++i) {
            Result r = Tool("ingest " + db + " " + ingests[i]);
            ASSERT_EQ(r.status, 0) << r.out;
            out["ingest" + std::to_string(i)] = WithoutTime(r.out);
        }
        fs::path dir = tmp.path() / std::to_string(e);
        fs::create_directories(dir);
        const std::string fixedTime = yieldtest::kFixedReportTime;
        for (const char* format : {"text", "json", "html"}) {
            ASSERT_EQ(
                Tool("report " + db + " --format " + format + " -o " + Q(dir / format), fixedTime)
                    .status,
                0);
        }
        ASSERT_EQ(
            Tool("report " + db + " --format csv -o " + Q(dir / "csv" / ""), fixedTime).status, 0);
        ASSERT_EQ(Tool("report " + db + " --host bench1 --since 2026-12-07 --until 2026-12-07 -o " +
                           Q(dir / "filtered"),
                       fixedTime)
                      .status,
                  0);
        for (const char* format : {"junit", "json"}) {
            ASSERT_EQ(
                Tool("export " + db + " --format " + format + " -o " + Q(dir / "export" / format))
                    .status,
                0);
        }
        for (const char* chip : {"0x1A2B3C4D", "0x1A2B0003", "0x1A2B0031", "0xNOPE"}) {
            for (const char* format : {"text", "json"}) {
                Result r = Tool("board " + db + " " + chip + " --format " + format);
                out[std::string("board ") + format + " " + chip] =
                    std::to_string(r.status) + "\n" + r.out;
            }
        }
        out["problems"] = Tool("problems " + db + " --format json").out;
        for (auto& [name, bytes] : Files(dir))
            out[name] = yieldtest::WithoutDatabase(bytes, dbs[e]->Url());
    }
    EXPECT_GT(outputs[0].size(), 20u);
    EXPECT_NE(outputs[0]["ingest2"].find("30 replaced"), std::string::npos)
        << outputs[0]["ingest2"];
    for (const auto& [name, bytes] : outputs[0]) EXPECT_EQ(outputs[1][name], bytes) << name;
    EXPECT_EQ(outputs[0].size(), outputs[1].size());
}
