#include "serve/alertCommand.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "report/escape.h"

namespace yield {
namespace {

constexpr char kWordSeparator = ' ';
constexpr int kFirstToClose = 3;  // all but standard input, output and error
constexpr int kCannotRun = 127;
constexpr int kKilled = -1;  // ended by a signal
constexpr char kAlertEnded[] =
    "devuzeV7-yield serve: the alert command ended with status %d (127: it could not be run)\n";
constexpr char kAlertPrefix[] = "DEVUZE_ALERT_";
constexpr char kAlertFailed[] = "devuzeV7-yield serve: the alert command could not be started\n";
constexpr char kAlertsOverflow[] =
    "devuzeV7-yield serve: %zu alerts already wait for the %zu running; the alert of the %s "
    "alarm of station %s is not run\n";

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> out;
    out.reserve(texts.size() + 1);
    for (std::string& t : texts) out.push_back(t.data());
    out.push_back(nullptr);
    return out;
}

// The process's environment without the alert's own names, then the alarm's.
std::vector<std::string> ChildEnvironment(const Alarm& a) {
    std::vector<std::string> out;
    for (char** e = environ; *e != nullptr; ++e)
        if (std::strncmp(*e, kAlertPrefix, sizeof kAlertPrefix - 1) != 0) out.push_back(*e);
    for (const std::string& kv : AlertEnvironment(a)) out.push_back(kv);
    return out;
}

}  // namespace

std::vector<std::string> CommandWords(const std::string& command) {
    std::vector<std::string> words;
    std::string word;
    for (char c : command + kWordSeparator) {
        if (c != kWordSeparator) {
            word += c;
        } else if (!word.empty()) {
            words.push_back(word);
            word.clear();
        }
    }
    return words;
}

std::string RatePercent(double rate) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", rate * 100.0);
    return text;
}

std::vector<std::string> AlertArguments(const std::vector<std::string>& words, const Alarm& a) {
    std::vector<std::string> out = words;
    double figure = a.portFailureRate ? *a.portFailureRate : a.firstPassYield.value_or(0);
    for (const std::string& s : {a.kind, a.station, a.ports, RatePercent(figure)}) out.push_back(s);
    return out;
}

std::vector<std::string> AlertEnvironment(const Alarm& a) {
    std::vector<std::string> out = {std::string(kAlertKind) + "=" + a.kind,
                                    std::string(kAlertStation) + "=" + a.station,
                                    std::string(kAlertPort) + "=" + a.ports,
                                    std::string(kAlertBoards) + "=" + std::to_string(a.boards),
                                    std::string(kAlertId) + "=" + std::to_string(a.id)};
    if (a.portFailureRate)
        out.push_back(std::string(kAlertFailureRate) + "=" + RatePercent(*a.portFailureRate));
    if (a.firstPassYield)
        out.push_back(std::string(kAlertFirstPassYield) + "=" + RatePercent(*a.firstPassYield));
    return out;
}

int StartAlert(const std::vector<std::string>& words, const Alarm& a) {
    if (words.empty()) return -1;
    // Everything the child needs is made before fork: after it, only exec and _exit.
    std::vector<std::string> args = AlertArguments(words, a);
    std::vector<std::string> env = ChildEnvironment(a);
    std::vector<char*> argv = Pointers(args), envp = Pointers(env);
    pid_t pid = fork();
    if (pid != 0) return pid;
    closefrom(kFirstToClose);
    execvpe(argv[0], argv.data(), envp.data());
    _exit(kCannotRun);
}

AlertQueue::AlertQueue(std::vector<std::string> words, size_t maxRunning, size_t maxWaiting)
    : words_(std::move(words)), maxRunning_(maxRunning), maxWaiting_(maxWaiting) {}

void AlertQueue::Raise(const Alarm& a) {
    if (words_.empty()) return;
    if (running_.size() < maxRunning_) return Start(a);
    if (waiting_.size() < maxWaiting_) return waiting_.push_back(a);
    std::fprintf(stderr, kAlertsOverflow, waiting_.size(), running_.size(), a.kind.c_str(),
                 PrintableText(a.station).c_str());
}

void AlertQueue::Start(const Alarm& a) {
    int pid = StartAlert(words_, a);
    if (pid < 0) {
        std::fputs(kAlertFailed, stderr);
        return;
    }
    running_.insert(pid);
}

void AlertQueue::Reap() {
    for (auto it = running_.begin(); it != running_.end();) {
        int status = 0;
        if (waitpid(*it, &status, WNOHANG) == 0) {
            ++it;
            continue;
        }
        it = running_.erase(it);
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0) continue;
        int code = WIFEXITED(status) ? WEXITSTATUS(status) : kKilled;
        std::fprintf(stderr, kAlertEnded, code);
    }
    while (running_.size() < maxRunning_ && !waiting_.empty()) {
        Start(waiting_.front());
        waiting_.pop_front();
    }
}

}  // namespace yield
