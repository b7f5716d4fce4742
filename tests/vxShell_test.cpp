#include "vxShell.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeSys.h"
#include "TempLog.h"

namespace {
// Counts the pipes closed, so a test sees every opened pipe closed once.
class ClosingSys : public FakeSys {
public:
    int Pclose(FILE* stream) override {
        ++closed;
        return FakeSys::Pclose(stream);
    }
    int closed = 0;
};

std::vector<std::string> ReadAll(const char* command, int lineSize, int& result) {
    std::vector<std::string> lines;
    result = ReadCommandLines(command, lineSize, LogOrigin{"mod", "Routine", 42},
                              [&](const char* line) { lines.emplace_back(line); });
    return lines;
}
}  // namespace

TEST(ReadCommandLines, HandsEveryLineInOrderAndClosesThePipe) {
    ClosingSys sys;
    sys.SetOutput("cmd", "first\nsecond line\nlast");
    int result = -9;
    std::vector<std::string> want = {"first\n", "second line\n", "last"};
    EXPECT_EQ(want, ReadAll("cmd", 1024, result));
    EXPECT_EQ(0, result);
    EXPECT_EQ(std::vector<std::string>{"cmd"}, sys.PopenCommands());
    EXPECT_EQ(1, sys.closed);
}

TEST(ReadCommandLines, LongLinesArriveInPiecesOfTheLineSize) {
    ClosingSys sys;
    sys.SetOutput("cmd", "abcdefg\n");
    int result = -9;
    std::vector<std::string> want = {"abc", "def", "g\n"};
    EXPECT_EQ(want, ReadAll("cmd", 4, result));
    EXPECT_EQ(0, result);
}

TEST(ReadCommandLines, FailedPipeIsLoggedUnderTheCallersNameAndReadsNothing) {
    TempLog log;
    ClosingSys sys;
    sys.FailPopen("cmd");
    int result = 0;
    EXPECT_TRUE(ReadAll("cmd", 1024, result).empty());
    EXPECT_EQ(-1, result);
    EXPECT_EQ(0, sys.closed);
    EXPECT_NE(std::string::npos, log.Text().find("] popen cmd error!\tmod Routine line=42\n"));
    EXPECT_EQ(1u, log.Messages().size());
}
