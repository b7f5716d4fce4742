// A bench run leaves the host alone: host name, /NandFlash, processes named duRurID, the
// System V message queues and the CPU LED trigger are the same after the run.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "bench_run.h"

namespace {

struct HostState {
    std::string hostname;
    bool nandFlash = false;
    std::set<std::string> queueKeys;
    std::string cpuTrigger;
    bool pwned = false;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Keys of the host's message queues (first column after the header of /proc/sysvipc/msg).
std::set<std::string> QueueKeys() {
    std::istringstream in(ReadAll("/proc/sysvipc/msg"));
    std::set<std::string> keys;
    std::string line, key;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::istringstream words(line);
        if (words >> key) keys.insert(key);
    }
    return keys;
}

HostState Snapshot() {
    HostState state;
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    state.hostname = host;
    state.nandFlash = std::filesystem::exists("/NandFlash");
    state.queueKeys = QueueKeys();
    state.cpuTrigger = ReadAll("/sys/class/leds/cpu/trigger");
    state.pwned = std::filesystem::exists("pwned") || std::filesystem::exists("/pwned");
    return state;
}

// A host process named like the board's application; the bench's killall must miss it.
pid_t StartHostDuRurId() {
    pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_NAME, "duRurID", 0, 0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0);
        for (;;) pause();
    }
    return pid;
}

bool StillRunning(pid_t pid) {
    int status = 0;
    return waitpid(pid, &status, WNOHANG) == 0;
}

TEST(HostUntouched, RunsOfStandardAndHostileBoardsLeaveTheHostAlone) {
    HostState before = Snapshot();
    pid_t hostApp = StartHostDuRurId();
    ASSERT_GT(hostApp, 0);
    e2e::BenchRun standard = e2e::RunScenario("standard", {"Cnt=1"}, "HostUntouched");
    e2e::BenchRun hostile = e2e::RunScenario("hostname-subst", {"Cnt=1"}, "HostUntouched");
    bool hostAppAlive = StillRunning(hostApp);
    kill(hostApp, SIGKILL);
    waitpid(hostApp, nullptr, 0);
    HostState after = Snapshot();

    ASSERT_TRUE(standard.Ok()) << standard.Diagnostics();
    ASSERT_TRUE(hostile.Ok()) << hostile.Diagnostics();
    // The runs did reach their own duRurID and host name ...
    EXPECT_TRUE(standard.record["duRurID"].value("killed", false));
    EXPECT_EQ(standard.record["hostname"], "bench1");
    EXPECT_EQ(hostile.record["hostname"], "bench$(touch pwned)");
    EXPECT_EQ(standard.record["tray"].size(), 1u);
    // ... and nothing of the host.
    EXPECT_TRUE(hostAppAlive);
    EXPECT_EQ(after.hostname, before.hostname);
    EXPECT_EQ(after.nandFlash, before.nandFlash);
    EXPECT_EQ(after.queueKeys, before.queueKeys);
    EXPECT_EQ(after.cpuTrigger, before.cpuTrigger);
    EXPECT_EQ(after.pwned, before.pwned);
}

}  // namespace
