#include "proc_sample.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "temp_dir.h"

namespace devbench {
namespace {

std::string StatText(pid_t pid, const std::string& comm, char state, pid_t ppid) {
    return std::to_string(pid) + " (" + comm + ") " + state + " " + std::to_string(ppid) +
           " 1 1 0 -1 4194304 100 200 0 0 250 50 30 20 20 0 2 0 99 1000 10\n";
}

TEST(ParseStat, ReadsNameStateParentAndTimesEvenWithParenthesesInTheName) {
    ProcStat stat;
    ASSERT_TRUE(ParseStat(StatText(42, "odd) (name", 'S', 7), stat));
    EXPECT_EQ(stat.pid, 42);
    EXPECT_EQ(stat.comm, "odd) (name");
    EXPECT_EQ(stat.state, 'S');
    EXPECT_EQ(stat.ppid, 7);
    EXPECT_EQ(stat.utime, 250);
    EXPECT_EQ(stat.stime, 50);
    EXPECT_EQ(stat.cutime, 30);
    EXPECT_EQ(stat.cstime, 20);
    EXPECT_FALSE(ParseStat("garbage", stat));
    EXPECT_FALSE(ParseStat("1 (short) S 0", stat));
}

TEST(StatusKb, FindsTheFieldByItsWholeName) {
    const std::string status =
        "Name:\tx\nVmPeak:\t  9000 kB\nVmHWM:\t    2712 kB\nVmRSS:\t 2000 kB\n";
    EXPECT_EQ(StatusKb(status, "VmHWM"), 2712);
    EXPECT_EQ(StatusKb(status, "VmRSS"), 2000);
    EXPECT_EQ(StatusKb(status, "VmSwap"), -1);
}

TEST(ParseStat, ReadsThisProcess) {
    ProcFigures figures;
    ASSERT_TRUE(SampleProcess("/proc", getpid(), figures));
    EXPECT_EQ(figures.pid, getpid());
    EXPECT_GT(figures.vmHwmKb, 0);
    EXPECT_FALSE(figures.sawZombie);
    EXPECT_FALSE(SampleProcess("/proc", 0, figures));
}

// A made-up /proc: 100 the bench, 101 its supervisor, 102 the tool, 103 a child the tool forked
// and that has not executed its command yet, 200 an unrelated process of the same name.
class FakeProc : public ::testing::Test {
protected:
    void Process(pid_t pid, const std::string& comm, char state, pid_t ppid) {
        std::string dir = root.File(std::to_string(pid));
        std::filesystem::create_directories(dir);
        ASSERT_TRUE(WriteWholeFile(dir + "/stat", StatText(pid, comm, state, ppid)));
        ASSERT_TRUE(WriteWholeFile(dir + "/status", "Name:\t" + comm + "\nVmHWM:\t 3000 kB\n"));
    }
    TempDir root{"fake-proc"};
};

TEST_F(FakeProc, FindsTheToolBelowTheAncestorNotItsForkedChildNorAStranger) {
    Process(100, "devuzeV7-bench", 'S', 50);
    Process(101, "devuzeV7-bench", 'S', 100);
    Process(103, "devuzeV7", 'R', 102);
    Process(200, "devuzeV7", 'S', 1);
    EXPECT_FALSE(FindDescendant(root.Path(), 100, "devuzeV7"))
        << "a process whose parent is unknown and not below the ancestor";
    Process(102, "devuzeV7", 'S', 101);
    auto found = FindDescendant(root.Path(), 100, "devuzeV7");
    ASSERT_TRUE(found);
    EXPECT_EQ(*found, 102);
}

TEST_F(FakeProc, AZombieKeepsItsFinalTimesButNotItsMemory) {
    Process(102, "devuzeV7", 'S', 101);
    ProcFigures figures;
    ASSERT_TRUE(SampleProcess(root.Path(), 102, figures));
    EXPECT_EQ(figures.vmHwmKb, 3000);
    Process(102, "devuzeV7", 'Z', 101);
    ASSERT_TRUE(WriteWholeFile(root.File("102/status"), "Name:\tdevuzeV7\n"));
    ASSERT_TRUE(SampleProcess(root.Path(), 102, figures));
    EXPECT_TRUE(figures.sawZombie);
    EXPECT_EQ(figures.vmHwmKb, 3000);
    EXPECT_EQ(figures.samples, 2);
    std::filesystem::remove_all(root.File("102"));
    EXPECT_FALSE(SampleProcess(root.Path(), 102, figures));
}

}  // namespace
}  // namespace devbench
