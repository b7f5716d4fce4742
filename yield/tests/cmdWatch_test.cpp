// `watch` end to end: the tool follows a folder while logs are copied in the ways a line copies
// them, and every run is stored; SIGTERM ends it with status 0.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <thread>

#include "testSupport.h"

namespace fs = std::filesystem;
using namespace yieldtest;

namespace {

constexpr auto kDeadline = std::chrono::seconds(30);

// The standard golden log as the run of processor ID 0x1A2B0000 + n.
std::string RunLog(int n) {
    std::string log = ReadAll(GoldenFlashLog("standard"));
    char chip[16];
    std::snprintf(chip, sizeof chip, "0x1A2B%04X", static_cast<unsigned>(n));
    log.replace(log.find("0x1A2B3C4D"), 10, chip);
    return log;
}

struct Counts {
    long long runs = -1;
    long long complete = -1;
};

Counts Stored(const fs::path& db) {
    Result r = Tool("report --format json --db " + Q(db));
    Counts c;
    if (r.status != 0) return c;
    nlohmann::json j = nlohmann::json::parse(r.out, nullptr, false);
    if (j.is_discarded()) return c;
    c.runs = j["summary"]["runs"].get<long long>();
    c.complete = j["summary"]["complete_runs"].get<long long>();
    return c;
}

// Polls the report until it holds `runs` runs, all complete; the last counts seen otherwise.
Counts WaitForRuns(const fs::path& db, long long runs) {
    auto end = std::chrono::steady_clock::now() + kDeadline;
    Counts c;
    while (std::chrono::steady_clock::now() < end) {
        c = Stored(db);
        if (c.runs == runs && c.complete == runs) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return c;
}

// The tool in the background, standard output and error into `out`.
pid_t StartTool(const std::string& args, const fs::path& out) {
    std::string cmd =
        std::string("exec '") + YIELD_TOOL + "' " + args + " >" + Q(out) + " 2>&1 </dev/null";
    pid_t pid = fork();
    if (pid == 0) {
        execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

int WaitTool(pid_t pid) {
    int st = -1;
    if (waitpid(pid, &st, 0) != pid) return -1;
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

// Stops the tool whatever the test's outcome.
class Watcher {
public:
    Watcher(const std::string& args, const fs::path& out) : pid_(StartTool(args, out)) {}
    ~Watcher() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            WaitTool(pid_);
        }
    }
    int Stop() {
        kill(pid_, SIGTERM);
        int status = WaitTool(pid_);
        pid_ = -1;
        return status;
    }

private:
    pid_t pid_;
};

TEST(Watch, StoresEveryRunAsTheLineCopiesThemAndStopsOnSigterm) {
    TempDir tmp;
    fs::path db = tmp.path() / "yield.db";
    fs::path sticks = tmp.path() / "sticks";
    fs::path later = tmp.path() / "stick-b";  // not there when the watch starts
    WriteAll(sticks / "early" / "run1.log", RunLog(1));
    WriteAll(sticks / "devuzeV7-station", "fixture-W\n");
    Watcher watch("watch --db " + Q(db) + " " + Q(sticks) + " " + Q(later),
                  tmp.path() / "watch.out");
    EXPECT_EQ(WaitForRuns(db, 1).runs, 1);

    WriteAll(sticks / "made" / "later" / "run2.log", RunLog(2));
    WriteAll(sticks / "made" / "notes.txt", "not a log\n");
    EXPECT_EQ(WaitForRuns(db, 2).runs, 2);

    // Written in two halves, as a copy that stalls: the half is not stored as an incomplete run
    // meanwhile, the whole copy is stored once it arrives.
    std::string third = RunLog(3);
    {
        std::ofstream half(sticks / "early" / "run3.log", std::ios::binary);
        half << third.substr(0, third.size() / 2) << std::flush;
        std::this_thread::sleep_for(std::chrono::seconds(2));
        EXPECT_EQ(Stored(db).runs, 2);
        half << third.substr(third.size() / 2);
    }
    Counts whole = WaitForRuns(db, 3);
    EXPECT_EQ(whole.runs, 3);
    EXPECT_EQ(whole.complete, 3);

    WriteAll(later / "run4.log", RunLog(4));
    EXPECT_EQ(WaitForRuns(db, 4).runs, 4);
    fs::remove_all(later);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    WriteAll(later / "again" / "run5.log", RunLog(5));
    EXPECT_EQ(WaitForRuns(db, 5).runs, 5);

    EXPECT_EQ(watch.Stop(), 0);
    std::string out = ReadAll(tmp.path() / "watch.out");
    EXPECT_NE(out.find("watch: 1 files, 1 runs new"), std::string::npos) << out;
    EXPECT_NE(out.find("notes.txt: not a trace log"), std::string::npos) << out;
    // The path not there at the start was named as waited for, once.
    std::string waiting = "watch: waiting for " + later.string() + " (it does not exist yet";
    EXPECT_EQ(out.rfind(waiting, 0), 0u) << out;
    EXPECT_EQ(out.find(waiting, 1), std::string::npos) << out;
    // The marker at the top of the watched folder names the station of the logs under it.
    Result board = Tool("board --db " + Q(db) + " 0x1A2B0002");
    EXPECT_NE(board.out.find("station fixture-W"), std::string::npos) << board.out;
}

}  // namespace
