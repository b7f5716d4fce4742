#include "supervisor.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <thread>

#include "decoy_app.h"
#include "dio_server.h"
#include "fakeroot.h"
#include "log_follower.h"
#include "output_capture.h"
#include "progress.h"
#include "record.h"
#include "run_clock.h"
#include "serial_fixture.h"
#include "storage.h"
#include "summary.h"
#include "text_util.h"
#include "tool_launch.h"
#include "tray_reader.h"

namespace bench {

namespace {
constexpr int kWaitStepMs = 50;
constexpr int kSettleMs = 200;  // lets the fixture answer and record the last bytes
constexpr int kOutputGraceMs = 1000;
constexpr int kRecordFailed = 3;

volatile std::sig_atomic_t g_interrupted = 0;
void OnInterrupt(int) { g_interrupted = 1; }

std::string NowText() {
    char text[64];
    time_t now = time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

std::string Joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
    return text;
}

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

class Supervisor {
public:
    Supervisor(const Options& options, const Scenario& scenario, const RunPaths& paths)
        : m_options(options),
          m_scenario(scenario),
          m_paths(paths),
          m_root(paths.rootDir),
          m_serial(scenario.serial, m_serialLog),
          m_model(scenario.dio),
          m_dio(m_model, m_timeline),
          m_tray(m_trayLog),
          m_follower(m_root.Host(kLogFile)),
          m_progress(std::cout, options.quiet) {}

    int Run() {
        std::string error;
        if (!Prepare(error) || !Launch(error)) {
            std::cerr << "devuzeV7-bench: " << error << std::endl;
            return kRecordFailed;
        }
        Follow();
        Settle();
        return Finish();
    }

private:
    bool Prepare(std::string& error) {
        InstallSignals();
        const std::string& host = m_scenario.board.hostname;
        if (sethostname(host.data(), host.size()) != 0) {
            error = "cannot set the host name \"" + host + "\" (longer than 64 bytes?)";
            return false;
        }
        if (m_scenario.board.duRurId && !m_decoy.Start()) {
            error = "cannot start the duRurID process";
            return false;
        }
        return BuildRoot(error) && StartFixture(error);
    }

    static void InstallSignals() {
        signal(SIGPIPE, SIG_IGN);
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        sigaction(SIGINT, &action, nullptr);
        sigaction(SIGTERM, &action, nullptr);
    }

    bool BuildRoot(std::string& error) {
        const Scenario& s = m_scenario;
        return m_root.MountRoot(error) && m_root.SetUpUserland(s.board.userland, error) &&
               m_root.SetUpDev(error) && m_root.SetUpEtc(s, error) && m_root.SetUpSys(s, error) &&
               m_root.SetUpWorkdir(s, m_options.tool, error) &&
               m_root.SetUpBenchCorner(m_options.preload, error) &&
               (m_options.sysroot.empty() || m_root.BindSysroot(m_options.sysroot, error)) &&
               (m_options.coverageDir.empty() ||
                m_root.BindCoverage(m_options.coverageDir, error)) &&
               SetUpNandFlash(m_root, s.storage.nandReadOnly, error) &&
               SetUpMedia(m_root, s.storage, error) && m_root.MountProc(error);
    }

    bool StartFixture(std::string& error) {
        std::string fifo = m_scenario.dio.present ? m_root.Host(kDioNode) : "";
        if (!m_serial.Create(m_root.Host("/dev"), error) ||
            !m_dio.Create(fifo, m_root.Host(kDioSocket), error) || !m_root.SealDev(error))
            return false;
        if (m_scenario.board.trayReader && !m_tray.Start(error)) return false;
        m_serial.Start();
        m_dio.Start();
        return m_stdout.Start() && m_stderr.Start();
    }

    bool Launch(std::string& error) {
        LaunchSettings settings{m_root.Dir(),
                                m_scenario.board.workdir,
                                m_options.toolArgs,
                                m_scenario.board.userland,
                                m_options.emulator,
                                !m_options.sysroot.empty(),
                                !m_options.coverageDir.empty(),
                                m_options.coverageStrip};
        m_launch = BuildToolLaunch(settings);
        m_progress.Started(m_scenario.name, Joined(m_launch.argv));
        m_startedAt = NowText();
        Clock().MarkToolStart();
        m_toolPid = StartTool(m_launch, m_stdout.WriteEnd(), m_stderr.WriteEnd(), error);
        m_stdout.CloseWriteEnd();
        m_stderr.CloseWriteEnd();
        return m_toolPid > 0;
    }

    int TimeoutSec() const {
        return m_options.timeoutSec > 0 ? m_options.timeoutSec : m_scenario.board.timeoutSec;
    }

    void Follow() {
        bool interruptSent = false;
        while (!m_toolEnded) {
            Sleep(kWaitStepMs);
            ReapChildren();
            double elapsedSec = Clock().SinceToolStartMs() / 1000.0;
            for (const std::string& line : m_follower.Poll()) m_progress.LogLine(elapsedSec, line);
            m_progress.Tick(elapsedSec);
            if (!m_timedOut && elapsedSec > TimeoutSec()) {
                m_timedOut = true;
                kill(m_toolPid, SIGKILL);
            }
            if (g_interrupted && !interruptSent) {
                interruptSent = true;
                kill(m_toolPid, SIGTERM);
            }
        }
        m_durationMs = Clock().SinceToolStartMs();
    }

    void ReapChildren() {
        int status = 0;
        pid_t pid;
        while ((pid = waitpid(-1, &status, WNOHANG)) > 0) {
            if (pid == m_toolPid) {
                m_toolStatus = status;
                m_toolEnded = true;
            } else if (pid == m_decoy.Pid()) {
                m_decoy.Reaped(status);
            }
        }
    }

    void Settle() {
        Sleep(kSettleMs);
        ReapChildren();
        double elapsedSec = Clock().SinceToolStartMs() / 1000.0;
        for (const std::string& line : m_follower.Poll()) m_progress.LogLine(elapsedSec, line);
        m_serial.Stop();
        m_dio.Stop();
        m_tray.Stop();
        m_stdout.Finish(kOutputGraceMs);
        m_stderr.Finish(kOutputGraceMs);
        m_decoy.EndIfRunning();
    }

    int Finish() {
        nlohmann::json record = BuildRecord();
        std::string error;
        bool ok = CopyArtifacts(error) &&
                  WriteRecord(JoinPath(m_paths.outDir, "record.json"), record, error);
        std::cout << Summarize(record) << std::flush;
        if (!ok) std::cerr << "devuzeV7-bench: " << error << std::endl;
        return ok ? 0 : kRecordFailed;
    }

    nlohmann::json BuildRecord() {
        nlohmann::json record = RunPart();
        record["stdout"] = m_stdout.Text();
        record["stderr"] = m_stderr.Text();
        record["log"] = m_follower.Text();
        std::string document;
        record["result_document"] = ReadFileText(m_root.Host(kResultFile), document)
                                        ? nlohmann::json(document)
                                        : nlohmann::json(nullptr);
        record["verdict"] = VerdictOf(m_follower.Text());
        record["files"] = CollectFiles(m_root.Host(kNandFlash), kNandFlash);
        // Names only: a command that ran where it should not have would leave a file here.
        record["workdir_files"] = ListFilesRecursive(m_root.Host(m_scenario.board.workdir));
        record["media"] = nlohmann::json::object();
        for (const std::string& point : MediaMountPoints(m_scenario.storage))
            record["media"][point] = {{"files", CollectFiles(m_root.Host(point), point)}};
        FixturePart(record);
        return record;
    }

    nlohmann::json RunPart() const {
        char host[256] = {};
        gethostname(host, sizeof host - 1);
        return {{"scenario",
                 {{"name", m_scenario.name},
                  {"dir", m_scenario.dir},
                  {"description", m_scenario.description}}},
                {"hostname", host},
                {"command", m_launch.argv},
                {"tool", m_options.tool},
                {"tool_args", m_options.toolArgs},
                {"workdir", m_scenario.board.workdir},
                {"started_at", m_startedAt},
                {"duration_ms", m_durationMs},
                {"exit", ExitRecord(m_toolStatus, m_timedOut, g_interrupted != 0)},
                {"artifacts", m_paths.outDir}};
    }

    void FixturePart(nlohmann::json& record) {
        record["timeline"] = m_timeline.Sorted();
        record["serial"] = m_serialLog.Sorted();
        record["serial_nodes"] = m_serial.Nodes();
        record["tray"] = m_trayLog.Sorted();
        record["duRurID"] = m_decoy.Record();
        std::string trigger;
        record["cpu_led_trigger"] = ReadFileText(m_root.Host(kCpuTrigger), trigger)
                                        ? nlohmann::json(trigger)
                                        : nlohmann::json(nullptr);
        record["dio_outputs"] = DioOutputs();
    }

    nlohmann::json DioOutputs() const {
        nlohmann::json outputs = nlohmann::json::object();
        for (int n = 1; n <= m_scenario.dio.doCount && n <= 127; ++n)
            outputs["DO" + std::to_string(n)] = m_model.OutputLevel(static_cast<uint8_t>(n));
        for (int n = 1; n <= m_scenario.dio.sysDoCount && n <= 127; ++n)
            outputs["SDO" + std::to_string(n)] =
                m_model.OutputLevel(static_cast<uint8_t>(0x80 | n));
        return outputs;
    }

    bool CopyArtifacts(std::string& error) {
        if (!CopyTree(m_root.Host(kNandFlash), JoinPath(m_paths.outDir, "NandFlash"), error))
            return false;
        for (const std::string& point : MediaMountPoints(m_scenario.storage)) {
            std::string name = std::filesystem::path(point).filename().string();
            if (!CopyTree(m_root.Host(point), JoinPath(m_paths.outDir, "media/" + name), error))
                return false;
        }
        return WriteFileText(JoinPath(m_paths.outDir, "stdout.txt"), m_stdout.Text()) &&
               WriteFileText(JoinPath(m_paths.outDir, "log.txt"), m_follower.Text());
    }

    const Options& m_options;
    const Scenario& m_scenario;
    const RunPaths& m_paths;
    FakeRoot m_root;
    EventList m_timeline;
    EventList m_serialLog;
    EventList m_trayLog;
    SerialFixture m_serial;
    DioModel m_model;
    DioServer m_dio;
    TrayReader m_tray;
    DecoyApp m_decoy;
    OutputCapture m_stdout;
    OutputCapture m_stderr;
    LogFollower m_follower;
    Progress m_progress;
    ToolLaunch m_launch;
    std::string m_startedAt;
    pid_t m_toolPid = -1;
    int m_toolStatus = 0;
    bool m_toolEnded = false;
    bool m_timedOut = false;
    double m_durationMs = 0;
};
}  // namespace

int RunSupervisor(const Options& options, const Scenario& scenario, const RunPaths& paths) {
    Supervisor supervisor(options, scenario, paths);
    return supervisor.Run();
}

}  // namespace bench
