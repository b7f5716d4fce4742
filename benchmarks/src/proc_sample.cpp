#include "proc_sample.h"

#include <dirent.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace devbench {

namespace {
bool ReadText(const std::string& path, std::string& text) {
    std::ifstream in(path);
    if (!in) return false;
    std::stringstream content;
    content << in.rdbuf();
    text = content.str();
    return true;
}

bool ReadStat(const std::string& procRoot, pid_t pid, ProcStat& stat) {
    std::string text;
    return ReadText(procRoot + "/" + std::to_string(pid) + "/stat", text) && ParseStat(text, stat);
}

bool Descends(const std::string& procRoot, ProcStat stat, pid_t ancestor) {
    for (int depth = 0; depth < 64 && stat.ppid > 1; ++depth) {
        if (stat.ppid == ancestor) return true;
        if (!ReadStat(procRoot, stat.ppid, stat)) return false;
    }
    return stat.ppid == ancestor;
}

bool IsToolItself(const std::string& procRoot, const ProcStat& stat, const std::string& name) {
    if (stat.comm != name || stat.state == 'Z') return false;
    ProcStat parent;
    return !ReadStat(procRoot, stat.ppid, parent) || parent.comm != name;
}
}  // namespace

bool ParseStat(const std::string& text, ProcStat& stat) {
    size_t open = text.find('(');
    size_t close = text.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) return false;
    stat.pid = static_cast<pid_t>(atol(text.c_str()));
    stat.comm = text.substr(open + 1, close - open - 1);
    std::istringstream rest(text.substr(close + 1));
    // Fields 3 to 17: state ppid pgrp session tty tpgid flags minflt cminflt majflt cmajflt
    // utime stime cutime cstime.
    long long skip = 0;
    rest >> stat.state >> stat.ppid >> skip >> skip >> skip >> skip >> skip >> skip >> skip >>
        skip >> skip >> stat.utime >> stat.stime >> stat.cutime >> stat.cstime;
    return static_cast<bool>(rest);
}

long StatusKb(const std::string& statusText, const std::string& field) {
    std::istringstream in(statusText);
    const std::string head = field + ":";
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(head, 0) == 0) return atol(line.c_str() + head.size());
    }
    return -1;
}

std::optional<pid_t> FindDescendant(const std::string& procRoot, pid_t ancestor,
                                    const std::string& name) {
    DIR* dir = opendir(procRoot.c_str());
    if (dir == nullptr) return std::nullopt;
    std::optional<pid_t> found;
    while (dirent* entry = readdir(dir)) {
        pid_t pid = static_cast<pid_t>(atol(entry->d_name));
        ProcStat stat;
        if (pid <= 0 || !ReadStat(procRoot, pid, stat)) continue;
        if (IsToolItself(procRoot, stat, name) && Descends(procRoot, stat, ancestor)) {
            found = pid;
            break;
        }
    }
    closedir(dir);
    return found;
}

bool SampleProcess(const std::string& procRoot, pid_t pid, ProcFigures& figures) {
    const std::string base = procRoot + "/" + std::to_string(pid);
    ProcStat stat;
    if (!ReadStat(procRoot, pid, stat)) return false;
    figures.pid = pid;
    figures.last = stat;
    figures.sawZombie = stat.state == 'Z' || stat.state == 'X';
    ++figures.samples;
    std::string status;
    if (!figures.sawZombie && ReadText(base + "/status", status)) {
        long hwm = StatusKb(status, "VmHWM");
        if (hwm > figures.vmHwmKb) figures.vmHwmKb = hwm;
    }
    return true;
}

}  // namespace devbench
