// The device's own application as far as the tool cares: a process named duRurID that waits to
// be ended by `killall duRurID`. It runs as a child of the supervisor inside the run's PID
// namespace, so only the run can see and kill it.
#pragma once

#include <sys/types.h>

#include <nlohmann/json.hpp>

namespace bench {

inline constexpr char kDecoyName[] = "duRurID";

class DecoyApp {
public:
    // Forks the process; call before any thread starts. False when fork fails.
    bool Start();
    pid_t Pid() const { return m_pid; }
    // The supervisor reaped it with `status`.
    void Reaped(int status);
    // Ends it when it still runs (after the tool), recording that the run did not.
    void EndIfRunning();
    // {"started", "killed", "signal", "signal_name", "exit_code", "t_ms"}
    nlohmann::json Record() const;

private:
    pid_t m_pid = -1;
    bool m_ended = false;
    bool m_endedByBench = false;
    int m_status = 0;
    double m_endMs = 0;
};

}  // namespace bench
