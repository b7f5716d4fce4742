// Reading one process's figures from /proc: its CPU times (its own and those of the children
// it has waited for) and its peak resident memory (VmHWM, this process's memory alone).
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace devbench {

struct ProcStat {
    pid_t pid = 0;
    std::string comm;
    char state = '?';
    pid_t ppid = 0;
    long long utime = 0;  // clock ticks
    long long stime = 0;
    long long cutime = 0;  // children waited for
    long long cstime = 0;
};

// Parses the text of /proc/<pid>/stat (the name may hold blanks and parentheses).
bool ParseStat(const std::string& text, ProcStat& stat);
// The value in kB of a "Name:   123 kB" line of /proc/<pid>/status, or -1.
long StatusKb(const std::string& statusText, const std::string& field);

// Under `procRoot` (normally "/proc"): the first process named `name` that descends from
// `ancestor` and whose parent has another name (a child forked by the tool keeps the tool's
// name until it executes its command).
std::optional<pid_t> FindDescendant(const std::string& procRoot, pid_t ancestor,
                                    const std::string& name);

// What a watcher learned about one process while it ran.
struct ProcFigures {
    pid_t pid = 0;
    long vmHwmKb = -1;
    ProcStat last;           // last stat read, final when `sawZombie`
    bool sawZombie = false;  // the last stat was read after the process had ended
    int samples = 0;
};

// Takes one sample of `pid` into `figures`; false once the process is gone (reaped).
bool SampleProcess(const std::string& procRoot, pid_t pid, ProcFigures& figures);

}  // namespace devbench
