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

TEST(ReadCommandLines, HandsEveryLineInOrderInPiecesOfTheLineSizeAndClosesThePipe) {
    ClosingSys sys;
    sys.SetOutput("cmd", "first\nsecond line\nlast");
    sys.SetOutput("long", "abcdefg\n");
    int result = -9;
    std::vector<std::string> want = {"first\n", "second line\n", "last"};
    EXPECT_EQ(want, ReadAll("cmd", 1024, result));
    EXPECT_EQ(0, result);
    want = {"abc", "def", "g\n"};
    EXPECT_EQ(want, ReadAll("long", 4, result));
    EXPECT_EQ(std::vector<std::string>({"cmd", "long"}), sys.PopenCommands());
    EXPECT_EQ(2, sys.closed);
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
