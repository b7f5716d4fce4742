#include "record.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>

#include "log_follower.h"
#include "summary.h"
#include "tray_reader.h"

namespace bench {
namespace {

namespace fs = std::filesystem;

fs::path TempDir(const std::string& name) {
    fs::path dir = fs::temp_directory_path() / (name + "-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

void Append(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::app) << text;
}

TEST(LogFollowerTest, ReadsEveryGenerationAcrossRenames) {
    fs::path dir = TempDir("bench-follow");
    fs::path log = dir / "deVuzeV7.log";
    LogFollower follower(log.string());
    EXPECT_TRUE(follower.Poll().empty());  // no file yet
    Append(log, "0=a\n1=b");
    EXPECT_EQ(follower.Poll(), (std::vector<std::string>{"0=a"}));
    Append(log, "\n2=c\n");
    fs::rename(log, dir / "archived.log");  // the tool moves it aside ...
    Append(dir / "archived.log", "3=late\n");
    Append(log, "0=new\n");  // ... and starts a new one
    EXPECT_EQ(follower.Poll(), (std::vector<std::string>{"1=b", "2=c", "3=late"}));
    EXPECT_EQ(follower.Poll(), (std::vector<std::string>{"0=new"}));
    EXPECT_EQ(follower.Text(), "0=a\n1=b\n2=c\n3=late\n0=new\n");
    fs::remove_all(dir);
}

TEST(RecordParts, FilesAreKeyedByTheirBoardPath) {
    fs::path dir = TempDir("bench-files");
    fs::create_directories(dir / "tmp");
    Append(dir / "tmp" / "deVuzeV7.js", "{}");
    Append(dir / "big.bin", std::string(kLargestRecordedFile + 1, 'x'));
    auto files = CollectFiles(dir.string(), "/NandFlash");
    EXPECT_EQ(files["/NandFlash/tmp/deVuzeV7.js"]["content"], "{}");
    EXPECT_EQ(files["/NandFlash/big.bin"]["size"], kLargestRecordedFile + 1);
    EXPECT_FALSE(files["/NandFlash/big.bin"].contains("content"));
    fs::remove_all(dir);
}

TEST(RecordParts, ExitStatusAndVerdict) {
    auto exited = ExitRecord(255 << 8, false, false);
    EXPECT_EQ(exited["code"], 255);
    auto killed = ExitRecord(SIGKILL, true, false);
    EXPECT_EQ(killed["signal"], SIGKILL);
    EXPECT_EQ(killed["signal_name"], "SIGKILL");
    EXPECT_EQ(killed["timed_out"], true);
    EXPECT_EQ(VerdictOf("x\nTest Q7 OK!!!\ty z line=1\n"), "OK");
    EXPECT_EQ(VerdictOf("Test Q7 Err!!!\n"), "ERR");
    EXPECT_TRUE(VerdictOf("no verdict").is_null());
}

TEST(RecordParts, InvalidUtf8IsReplacedNotFatal) {
    fs::path dir = TempDir("bench-record");
    std::string error;
    nlohmann::json record = {{"stdout", std::string("\xC7\xB0\xFF ok")}};
    ASSERT_TRUE(WriteRecord((dir / "record.json").string(), record, error)) << error;
    std::ifstream in(dir / "record.json");
    auto back = nlohmann::json::parse(in);
    EXPECT_NE(back["stdout"].get<std::string>().find(" ok"), std::string::npos);
    fs::remove_all(dir);
}

TEST(TrayMessage, PayloadIsDescribed) {
    std::string payload(76, '\0');
    payload[0] = 2;
    payload[4] = 0x10;
    payload[5] = 0x01;
    auto entry = TrayReader::Describe(36876, payload);
    EXPECT_EQ(entry["type"], 36876);
    EXPECT_EQ(entry["len"], 76);
    EXPECT_EQ(entry["int0"], 2);
    EXPECT_EQ(entry["int1"], 0x110);
    EXPECT_EQ(entry["payload_hex"].get<std::string>().substr(0, 17), "02 00 00 00 10 01");
}

TEST(SummaryTable, OneRowPerSectionOfTheResultDocument) {
    std::string document =
        R"({"devuzeV7":"testData","DevType":"bench1","DateTime":"2021_11_05_11_51_23" ,"logDate":[)"
        R"({"name":"RS485","info":[]},{ "name":"RS232", "info":[ {"port":1},{"port":0}]} ]})";
    std::string table = PortTable(document);
    EXPECT_NE(table.find("RS485  (no ports)"), std::string::npos) << table;
    EXPECT_NE(table.find("RS232  1 0"), std::string::npos) << table;
    EXPECT_EQ(PortTable("not json"), "");
}

TEST(SummaryText, NamesVerdictExitAndArtifacts) {
    nlohmann::json record = {{"scenario", {{"name", "standard"}}},
                             {"verdict", "OK"},
                             {"exit", {{"code", 0}}},
                             {"duration_ms", 1500.0},
                             {"duRurID", {{"started", true}, {"killed", false}}},
                             {"result_document", nullptr},
                             {"artifacts", "/out"}};
    std::string text = Summarize(record);
    EXPECT_NE(text.find("PASSED"), std::string::npos);
    EXPECT_NE(text.find("exit status : 0"), std::string::npos);
    EXPECT_NE(text.find("NOT killed"), std::string::npos);
    EXPECT_NE(text.find("no result document"), std::string::npos);
    EXPECT_NE(text.find("/out"), std::string::npos);
}

}  // namespace
}  // namespace bench
