// Saving a run on the bench: the failure road of start-up, the archive names on the flash and
// on the sticks, and host names that must not run anything.
#include <gtest/gtest.h>

#include <algorithm>

#include "bench_run.h"
#include "run_checks.h"

namespace {
constexpr char kFuse[] = "0x1A2B3C4D";

E2E_SUITE(SetUpFailure, "missing-vxdio-conf");

std::string HeaderFor(const std::string& host, const std::string& stamp) {
    return "{\"devuzeV7\":\"testData\",\"DevType\":\"" + host + "\",\"DateTime\":\"" + stamp +
           "\" ,\"logDate\":[";
}
}  // namespace

TEST_F(SetUpFailure, ExitsWith255AfterTheReport) {
    ASSERT_TRUE(run->Ok()) << run->Diagnostics();
    EXPECT_EQ(255, run->ToolExitCode());
    EXPECT_EQ(1, e2e::CountMessages(*run, "Err Get Port Info!!!"));
    EXPECT_EQ(0, e2e::CountMessages(*run, "-----Try Test 1-----"));
    EXPECT_TRUE(run->Ioctls().empty());
    EXPECT_TRUE(run->Serial("/dev/RS232-5", "rx").empty()) << "no tips message on this road";
}

TEST_F(SetUpFailure, ResultFileHoldsHeaderAndClosingOnly) {
    ASSERT_TRUE(run->Ok()) << run->Diagnostics();
    std::string stamp = e2e::LogValue(*run, "DateTime:");
    ASSERT_FALSE(stamp.empty());
    EXPECT_EQ(HeaderFor("bench1", stamp) + "]}", run->record["result_document"]);
}

TEST_F(SetUpFailure, LogArchivedWithErr) {
    ASSERT_TRUE(run->Ok()) << run->Diagnostics();
    auto names = e2e::ExpectedArchive("bench1", kFuse, e2e::LogValue(*run, "DateTime:"), "ERR");
    std::string flash, moved, live;
    ASSERT_TRUE(run->FileContent(names.flash, flash)) << names.flash;
    ASSERT_TRUE(run->FileContent(names.moved, moved)) << names.moved;
    EXPECT_FALSE(run->FileContent("/NandFlash/tmp/deVuzeV7.log", live));
    EXPECT_NE(std::string::npos, flash.find("Err Get Port Info!!!"));
    EXPECT_EQ(flash, moved);
}

TEST_F(SetUpFailure, FailurePatternPlaysBesideTheBlink) {
    ASSERT_TRUE(run->Ok()) << run->Diagnostics();
    EXPECT_EQ(e2e::ReadExpectations("end_pattern_fail.txt"),
              e2e::WithoutBlink(e2e::CommandTexts(*run)));
}

namespace {
E2E_SUITE(ArchiveOnSticks, "standard", "Cnt=1");
}  // namespace

TEST_F(ArchiveOnSticks, SameLogOnFlashAndEveryStick) {
    ASSERT_TRUE(run->Ok()) << run->Diagnostics();
    auto names = e2e::ExpectedArchive("bench1", kFuse, e2e::LogValue(*run, "DateTime:"), "OK");
    std::string flash, moved, first, second;
    ASSERT_TRUE(run->FileContent(names.flash, flash)) << names.flash;
    ASSERT_TRUE(run->FileContent(names.moved, moved)) << names.moved;
    ASSERT_TRUE(run->FileContent("/run/media/sda1/" + names.onStick, first));
    ASSERT_TRUE(run->FileContent("/run/media/sdb1/" + names.onStick, second));
    EXPECT_EQ(flash, first);
    EXPECT_EQ(flash, second);
    EXPECT_EQ(flash, moved);
    EXPECT_NE(std::string::npos, flash.find("Test Q7 OK!!!"));
}

namespace {
E2E_SUITE(HostileHostQuote, "hostname-quote", "Cnt=1");

E2E_SUITE(HostileHostSubst, "hostname-subst", "Cnt=1");

bool AnyPathHolds(const nlohmann::json& files, const std::string& word) {
    for (const auto& [path, file] : files.items()) {
        if (path.find(word) != std::string::npos) return true;
    }
    return false;
}

// The host name runs nothing, the archive carries it as it is, the document stays valid JSON.
void ExpectHostKeptAndHarmless(const e2e::BenchRun& run) {
    ASSERT_TRUE(run.Ok()) << run.Diagnostics();
    const std::string host = run.record["hostname"];
    EXPECT_NE(std::string::npos, host.find("pwned"));
    EXPECT_FALSE(AnyPathHolds(run.record["files"], "/pwned"));
    const auto& workdir = run.record["workdir_files"];
    ASSERT_TRUE(workdir.is_array());
    EXPECT_NE(workdir.end(), std::find(workdir.begin(), workdir.end(), "devuzeV7"));
    EXPECT_EQ(workdir.end(), std::find(workdir.begin(), workdir.end(), "pwned"));
    for (const auto& [point, medium] : run.record["media"].items()) {
        EXPECT_FALSE(AnyPathHolds(medium["files"], "/pwned")) << point;
    }
    auto names = e2e::ExpectedArchive(host, kFuse, e2e::LogValue(run, "DateTime:"), "OK");
    std::string text;
    EXPECT_TRUE(run.FileContent(names.flash, text)) << names.flash;
    EXPECT_TRUE(run.FileContent(names.moved, text)) << names.moved;
    EXPECT_TRUE(run.FileContent("/run/media/sda1/" + names.onStick, text));
    auto doc =
        nlohmann::json::parse(run.record["result_document"].get<std::string>(), nullptr, false);
    ASSERT_FALSE(doc.is_discarded()) << run.record["result_document"];
    EXPECT_EQ(host, doc["DevType"]);
}
}  // namespace

TEST_F(HostileHostQuote, RunsNothingAndKeepsTheName) { ExpectHostKeptAndHarmless(*run); }

TEST_F(HostileHostSubst, RunsNothingAndKeepsTheName) { ExpectHostKeptAndHarmless(*run); }

namespace {
// The bench's --hostname and --cpu-id set the board's identity of one run.
class RunIdentity : public ::testing::Test {
protected:
    static constexpr char kHost[] = "line7-fixture2";
    static constexpr char kCpuId[] = "0x00C0FFEE";
    static void SetUpTestSuite() {
        run = new e2e::BenchRun(e2e::RunScenario("standard", {"Cnt=1"}, "RunIdentity",
                                                 {"--hostname", kHost, "--cpu-id", kCpuId}));
    }
    static void TearDownTestSuite() { delete run; }
    static e2e::BenchRun* run;
};
e2e::BenchRun* RunIdentity::run = nullptr;
}  // namespace

TEST_F(RunIdentity, ArchiveAndDocumentCarryTheGivenIdentity) {
    ASSERT_TRUE(run->Ok()) << run->Diagnostics();
    EXPECT_EQ(kHost, run->record["hostname"]);
    auto names = e2e::ExpectedArchive(kHost, kCpuId, e2e::LogValue(*run, "DateTime:"), "OK");
    std::string text;
    EXPECT_TRUE(run->FileContent(names.flash, text)) << names.flash;
    EXPECT_TRUE(run->FileContent("/run/media/sda1/" + names.onStick, text)) << names.onStick;
    auto doc =
        nlohmann::json::parse(run->record["result_document"].get<std::string>(), nullptr, false);
    ASSERT_FALSE(doc.is_discarded()) << run->record["result_document"];
    EXPECT_EQ(kHost, doc["DevType"]);
}
