// devuzeV7-tool-watch --ancestor PID [--name devuzeV7] [--interval-ms 10] --out FILE
// Waits for the tool process to appear below PID, samples its /proc figures until it is
// reaped, and writes them as JSON: the peak resident memory of the tool process alone (VmHWM)
// and its CPU times, those of the children it waited for included.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <thread>

#include "proc_sample.h"

namespace {
constexpr char kProcRoot[] = "/proc";
constexpr int kSearchIntervalMs = 5;

struct WatchOptions {
    pid_t ancestor = 0;
    std::string name = "devuzeV7";
    int intervalMs = 10;
    std::string out;
};

bool ParseArgs(int argc, char** argv, WatchOptions& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string flag = argv[i];
        if (flag == "--ancestor")
            options.ancestor = static_cast<pid_t>(atol(argv[i + 1]));
        else if (flag == "--name")
            options.name = argv[i + 1];
        else if (flag == "--interval-ms")
            options.intervalMs = atoi(argv[i + 1]);
        else if (flag == "--out")
            options.out = argv[i + 1];
        else
            return false;
    }
    return options.ancestor > 0 && options.intervalMs > 0 && !options.out.empty();
}

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool Alive(pid_t pid) { return kill(pid, 0) == 0 || errno != ESRCH; }

double TicksToMs(long long ticks) {
    return ticks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

nlohmann::json Figures(const devbench::ProcFigures& f) {
    const devbench::ProcStat& s = f.last;
    return {{"found", true},
            {"pid", f.pid},
            {"vm_hwm_kb", f.vmHwmKb},
            {"cpu_ms",
             {{"user", TicksToMs(s.utime)},
              {"system", TicksToMs(s.stime)},
              {"children_user", TicksToMs(s.cutime)},
              {"children_system", TicksToMs(s.cstime)},
              {"total", TicksToMs(s.utime + s.stime + s.cutime + s.cstime)}}},
            {"final", f.sawZombie},
            {"samples", f.samples}};
}
}  // namespace

int main(int argc, char** argv) {
    WatchOptions options;
    if (!ParseArgs(argc, argv, options)) {
        std::cerr << "usage: devuzeV7-tool-watch --ancestor PID [--name NAME] [--interval-ms N]"
                     " --out FILE\n";
        return 2;
    }
    std::optional<pid_t> tool;
    while (!tool && Alive(options.ancestor)) {
        tool = devbench::FindDescendant(kProcRoot, options.ancestor, options.name);
        if (!tool) SleepMs(kSearchIntervalMs);
    }
    nlohmann::json result = {{"found", false}};
    if (tool) {
        devbench::ProcFigures figures;
        while (devbench::SampleProcess(kProcRoot, *tool, figures)) SleepMs(options.intervalMs);
        result = Figures(figures);
    }
    std::ofstream(options.out) << result.dump(2) << "\n";
    return tool ? 0 : 1;
}
