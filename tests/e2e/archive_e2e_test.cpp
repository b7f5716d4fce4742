// Saving a run on the bench: the failure road of start-up, the archive names on the flash and
// on the sticks, and host names that must not run anything.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "bench_run.h"
#include "run_checks.h"
#include "suite_run.h"

namespace {
constexpr char kFuse[] = "0x1A2B3C4D";

E2E_SUITE(SetUpFailure, "missing-vxdio-conf");

std::string HeaderFor(const std::string& host, const std::string& stamp) {
    return "{\"devuzeV7\":\"testData\",\"DevType\":\"" + host + "\",\"DateTime\":\"" + stamp +
           "\" ,\"logDate\":[";
}
}  // namespace

TEST_F(SetUpFailure, ExitsWith255AfterTheReport) {
    EXPECT_EQ(255, run->ToolExitCode());
    EXPECT_EQ(1, e2e::CountMessages(*run, "Err Get Port Info!!!"));
    EXPECT_EQ(0, e2e::CountMessages(*run, "-----Try Test 1-----"));
    EXPECT_TRUE(run->Ioctls().empty());
    EXPECT_TRUE(run->Serial("/dev/RS232-5", "rx").empty()) << "no tips message on this road";
}

TEST_F(SetUpFailure, ResultFileHoldsHeaderAndClosingOnly) {
    std::string stamp = e2e::LogValue(*run, "DateTime:");
    ASSERT_FALSE(stamp.empty());
    EXPECT_EQ(HeaderFor("bench1", stamp) + "]}", run->record["result_document"]);
}

TEST_F(SetUpFailure, LogArchivedWithErr) {
    auto names = e2e::ExpectedArchive("bench1", kFuse, e2e::LogValue(*run, "DateTime:"), "ERR");
    std::string flash, moved, live;
    ASSERT_TRUE(run->FileContent(names.flash, flash)) << names.flash;
    ASSERT_TRUE(run->FileContent(names.moved, moved)) << names.moved;
    EXPECT_FALSE(run->FileContent("/NandFlash/tmp/deVuzeV7.log", live));
    EXPECT_NE(std::string::npos, flash.find("Err Get Port Info!!!"));
    EXPECT_EQ(flash, moved);
}

TEST_F(SetUpFailure, FailurePatternPlaysBesideTheBlink) {
    EXPECT_EQ(e2e::ReadExpectations("end_pattern_fail.txt"),
              e2e::WithoutBlink(e2e::CommandTexts(*run)));
}

namespace {
E2E_SUITE(ArchiveOnSticks, "standard", "Cnt=1");
}  // namespace

TEST_F(ArchiveOnSticks, SameLogOnFlashAndEveryStick) {
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
E2E_SUITE(ArchiveLongIdentity, "fuse-id-230", "Cnt=1");

// Names of the files directly in `dir` (a board path) that the record holds.
std::vector<std::string> NamesIn(const e2e::BenchRun& run, const std::string& dir) {
    std::vector<std::string> names;
    auto collect = [&](const nlohmann::json& files) {
        for (const auto& [path, file] : files.items()) {
            if (path.rfind(dir + "/", 0) == 0 &&
                path.find('/', dir.size() + 1) == std::string::npos)
                names.push_back(path.substr(dir.size() + 1));
        }
    };
    collect(run.record["files"]);
    for (const auto& [point, medium] : run.record["media"].items()) collect(medium["files"]);
    return names;
}
}  // namespace

TEST_F(ArchiveLongIdentity, LogIsArchivedEverywhereUnderNamesThatFit) {
    ASSERT_TRUE(run->Ok()) << run->Diagnostics();
    const std::string host = run->record["hostname"];
    const std::string id = e2e::LogValue(*run, "iMx6ull:");
    const std::string stamp = e2e::LogValue(*run, "DateTime:");
    ASSERT_EQ(64u, host.size());
    ASSERT_EQ(230u, id.size()) << "the whole ID stays in the log";
    auto flash = NamesIn(*run, "/NandFlash/test");
    ASSERT_EQ(1u, flash.size());
    const std::string& name = flash[0];
    EXPECT_LE(name.size(), 255u);
    EXPECT_EQ(0u, name.find("deVuzeV7_" + host + "[" + id.substr(0, 100))) << name;
    const std::string tail = "]_" + stamp + "[OK].log";
    ASSERT_GT(name.size(), tail.size());
    ASSERT_EQ(tail, name.substr(name.size() - tail.size()));
    const std::string base = name.substr(0, name.size() - std::string("[OK].log").size());
    std::string archived, moved, first, second, live;
    ASSERT_TRUE(run->FileContent("/NandFlash/test/" + name, archived));
    ASSERT_TRUE(run->FileContent("/NandFlash/tmp/" + base + ".log", moved));
    ASSERT_TRUE(run->FileContent("/run/media/sda1/TestQ7[OK]/" + base + ".log", first));
    ASSERT_TRUE(run->FileContent("/run/media/sdb1/TestQ7[OK]/" + base + ".log", second));
    EXPECT_FALSE(run->FileContent("/NandFlash/tmp/deVuzeV7.log", live));
    EXPECT_NE(std::string::npos, archived.find("Test Q7 OK!!!"));
    EXPECT_EQ(archived, moved);
    EXPECT_EQ(archived, first);
    EXPECT_EQ(archived, second);
}

namespace {
E2E_SUITE(HostileHostControlBytes, "hostname-control-bytes", "Cnt=1");

// The host name as the log and the archive names carry it.
constexpr char kEscapedHost[] = "bench1\\n5=[RtLog] Test Q7 OK!!!\xFF\xFE caf\xE9";

std::string ArtifactText(const e2e::BenchRun& run, const std::string& relative) {
    std::ifstream in(run.outDir + "/" + relative, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
}  // namespace

// Some messages of the tool span lines (a command holding a line feed, a serial reply), but
// every line that starts like a log line starts one of the tool's messages.
TEST_F(HostileHostControlBytes, EveryLogLineIsOneLineTheToolWrote) {
    ASSERT_TRUE(run->Ok()) << run->Diagnostics();
    const std::string text = ArtifactText(*run, "log.txt");
    std::string error;
    auto messages = e2e::ParseLog(text, &error);
    EXPECT_EQ("", error);
    static const std::regex kLooksLikeHead(R"(^\d+=\[[\s\S]*)");
    std::istringstream in(text);
    std::string line;
    size_t heads = 0;
    while (std::getline(in, line)) heads += std::regex_match(line, kLooksLikeHead) ? 1 : 0;
    EXPECT_GT(messages.size(), 50u);
    EXPECT_EQ(messages.size(), heads);
    EXPECT_NE(std::string::npos, text.find(std::string("hostname:") + kEscapedHost + "\t"));
    EXPECT_EQ(1, e2e::CountMessages(*run, "Test Q7 OK!!!"));
}

TEST_F(HostileHostControlBytes, DocumentIsValidJsonWithTheBytesEscaped) {
    ASSERT_TRUE(run->Ok()) << run->Diagnostics();
    std::string text = ArtifactText(*run, "NandFlash/tmp/deVuzeV7.js");
    EXPECT_NE(
        std::string::npos,
        text.find("\"DevType\":\"bench1\\u000a5=[RtLog] Test Q7 OK!!!\\u00ff\\u00fe caf\\u00e9\""))
        << text;
    auto doc = nlohmann::json::parse(text, nullptr, false);
    ASSERT_FALSE(doc.is_discarded()) << text;
    EXPECT_EQ("bench1\n5=[RtLog] Test Q7 OK!!!\xC3\xBF\xC3\xBE caf\xC3\xA9", doc["DevType"]);
}

TEST_F(HostileHostControlBytes, ArchiveNamesCarryTheEscapedHost) {
    ASSERT_TRUE(run->Ok()) << run->Diagnostics();
    auto names = e2e::ExpectedArchive(kEscapedHost, kFuse, e2e::LogValue(*run, "DateTime:"), "OK");
    for (const std::string& path :
         {"NandFlash" + names.flash.substr(10), "NandFlash" + names.moved.substr(10),
          "media/sda1/" + names.onStick, "media/sdb1/" + names.onStick})
        EXPECT_TRUE(std::filesystem::exists(run->outDir + "/" + path)) << path;
}

namespace {
// The bench's --hostname and --cpu-id set the board's identity of one run.
constexpr char kGivenHost[] = "line7-fixture2";
constexpr char kGivenCpuId[] = "0x00C0FFEE";
E2E_SUITE_WITH(RunIdentity, (e2e::RunPlan{"standard",
                                          {"Cnt=1"},
                                          {"--hostname", kGivenHost, "--cpu-id", kGivenCpuId}}));
}  // namespace

TEST_F(RunIdentity, ArchiveAndDocumentCarryTheGivenIdentity) {
    EXPECT_EQ(kGivenHost, run->record["hostname"]);
    auto names =
        e2e::ExpectedArchive(kGivenHost, kGivenCpuId, e2e::LogValue(*run, "DateTime:"), "OK");
    std::string text;
    EXPECT_TRUE(run->FileContent(names.flash, text)) << names.flash;
    EXPECT_TRUE(run->FileContent("/run/media/sda1/" + names.onStick, text)) << names.onStick;
    auto doc =
        nlohmann::json::parse(run->record["result_document"].get<std::string>(), nullptr, false);
    ASSERT_FALSE(doc.is_discarded()) << run->record["result_document"];
    EXPECT_EQ(kGivenHost, doc["DevType"]);
}
