#include "vxLog.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "TempLog.h"

namespace {
constexpr char kLogModule[] = "vxLogTest";

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) out.push_back(line);
    return out;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}
}  // namespace

TEST(TraceLog, LineLayoutAndNumberingFromZero) {
    TempLog log;
    EXPECT_EQ(1, trace_log("RtLog", "first %d\n", 7));
    const int logLine = __LINE__ + 1;
    EXPECT_EQ(1, RTLOG("second %s", "x"));
    auto lines = Lines(log.Text());
    ASSERT_EQ(2u, lines.size());
    std::regex head(R"(^(\d+)=\[RtLog\]\[(\d{4})-(\d{2})-(\d{2}) (\d{2}):(\d{2}):(\d{2})\] (.*)$)");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[0], m, head)) << lines[0];
    EXPECT_EQ("0", m[1]);
    EXPECT_EQ("first 7", m[8]);
    ASSERT_TRUE(std::regex_match(lines[1], m, head)) << lines[1];
    EXPECT_EQ("1", m[1]);
    EXPECT_EQ("second x\tvxLogTest TestBody line=" + std::to_string(logLine), m[8]);
}

TEST(TraceLog, NullTagWritesNothingAndKeepsCounter) {
    TempLog log;
    EXPECT_EQ(-1, trace_log(nullptr, "x\n"));
    EXPECT_EQ(0u, vxlog::NextLineNumber());
    trace_log("RtLog", "y\n");
    EXPECT_EQ(1u, Lines(log.Text()).size());
    EXPECT_EQ(0u, Lines(log.Text())[0].find("0=[RtLog]"));
}

TEST(TraceLog, UnopenableLogDropsLineWithoutUsingNumber) {
    TempLog log;
    const char* saved = filename;
    filename = "/nonexistent-dir-for-devuze/deVuzeV7.log";
    EXPECT_EQ(1, trace_log("RtLog", "lost\n"));
    EXPECT_EQ(0u, vxlog::NextLineNumber());
    filename = saved;
    trace_log("RtLog", "kept\n");
    EXPECT_EQ(0u, log.Text().find("0=[RtLog]"));
}

TEST(TraceLog, FormatWithoutNewlineRunsIntoNextLine) {
    TempLog log;
    trace_log("RtLog", "no end ");
    trace_log("RtLog", "next\n");
    auto lines = Lines(log.Text());
    ASSERT_EQ(1u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].find("no end 1=[RtLog]"));
}

TEST(TraceLog, RotatesAfterTwentyThousandLinesKeepingOneBackup) {
    TempLog log;
    const std::string backup = log.Path() + ".bak";
    std::ofstream(backup) << "older backup\n";
    for (unsigned i = 0; i < vxlog::kLinesPerFile; ++i) trace_log("RtLog", "line %u\n", i);
    EXPECT_EQ(vxlog::kLinesPerFile, vxlog::NextLineNumber());
    trace_log("RtLog", "after rotation\n");
    auto backupLines = Lines(ReadFile(backup));
    ASSERT_EQ(vxlog::kLinesPerFile, backupLines.size());
    EXPECT_EQ(0u, backupLines.front().find("0=[RtLog]"));
    EXPECT_EQ(0u, backupLines.back().find("19999=[RtLog]"));
    auto current = Lines(log.Text());
    ASSERT_EQ(1u, current.size());
    EXPECT_EQ(0u, current[0].find("0=[RtLog]"));
    EXPECT_NE(std::string::npos, current[0].find("after rotation"));
}

TEST(TraceLog, OverlongMessageIsCutAndKeepsItsLineEnd) {
    TempLog log;
    std::string huge(30000, 'a');
    trace_log("RtLog", "%s\n", huge.c_str());
    trace_log("RtLog", "next\n");
    auto lines = Lines(log.Text());
    ASSERT_EQ(2u, lines.size());
    EXPECT_LE(lines[0].size() + 1, static_cast<size_t>(vxlog::kLineBufferSize - 1));
    EXPECT_GT(lines[0].size(), 20000u);
    EXPECT_EQ(0u, lines[1].find("1=[RtLog]"));
}

TEST(TraceLog, MessageJustUnderTheBoundIsKeptWhole) {
    TempLog log;
    std::string body(20000, 'b');
    trace_log("RtLog", "%s\n", body.c_str());
    auto lines = Lines(log.Text());
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(body, lines[0].substr(lines[0].find("] ") + 2));
}

// A format held in a constant writes the line a literal format writes, cut at the bound alike.
TEST(TraceLog, FormatFromConstantWritesTheLiteralFormatsLine) {
    static constexpr char kFmt[] = "%s-%d:Test %s";
    const LogOrigin origin{"mod", "Routine", 42};
    std::string huge(30000, 'c');
    std::string literal, constant;
    {
        TempLog log;
        RTLOG_AT(origin, "%s-%d:Test %s", "DO", 3, "x");
        RTLOG_AT(origin, "%s-%d:Test %s", "DO", 4, huge.c_str());
        literal = log.Text();
    }
    {
        TempLog log;
        LogFormatAt(origin, kFmt, "DO", 3, "x");
        LogFormatAt(origin, kFmt, "DO", 4, huge.c_str());
        constant = log.Text();
    }
    auto a = Lines(literal), b = Lines(constant);
    ASSERT_EQ(2u, a.size());
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {  // the times may differ by a second
        EXPECT_EQ(a[i].substr(a[i].find("] ")), b[i].substr(b[i].find("] ")));
    }
    EXPECT_EQ("0=[RtLog]", b[0].substr(0, 9));
    EXPECT_NE(std::string::npos, b[0].find("] DO-3:Test x\tmod Routine line=42"));
    EXPECT_EQ('\n', constant.back());
}
