#include "decoy_app.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "run_clock.h"

namespace bench {

namespace {
[[noreturn]] void RunDecoy() {
    syscall(SYS_close_range, 3U, ~0U, 0U);  // hold none of the supervisor's pipes
    prctl(PR_SET_NAME, kDecoyName, 0, 0, 0);
    prctl(PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGQUIT}) signal(sig, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    for (;;) pause();
}
}  // namespace

bool DecoyApp::Start() {
    m_pid = fork();
    if (m_pid == 0) RunDecoy();
    return m_pid > 0;
}

void DecoyApp::Reaped(int status) {
    m_ended = true;
    m_status = status;
    m_endMs = Clock().SinceToolStartMs();
}

void DecoyApp::EndIfRunning() {
    if (m_pid <= 0 || m_ended) return;
    m_endedByBench = true;
    kill(m_pid, SIGKILL);
    int status = 0;
    if (waitpid(m_pid, &status, 0) == m_pid) Reaped(status);
}

nlohmann::json DecoyApp::Record() const {
    nlohmann::json record = {{"started", m_pid > 0}, {"killed", false}};
    if (!m_ended || m_endedByBench) return record;
    record["killed"] = WIFSIGNALED(m_status) != 0;
    if (WIFSIGNALED(m_status)) {
        int sig = WTERMSIG(m_status);
        const char* abbrev = sigabbrev_np(sig);
        record["signal"] = sig;
        record["signal_name"] =
            abbrev != nullptr ? std::string("SIG") + abbrev : std::to_string(sig);
    } else {
        record["exit_code"] = WEXITSTATUS(m_status);
    }
    record["t_ms"] = m_endMs;
    return record;
}

}  // namespace bench
