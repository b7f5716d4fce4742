// devuzeV7-bench: runs the unmodified devuzeV7 tool against a simulated board and fixture in
// private namespaces and records what it does. See bench/README.md.
#include <signal.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <iostream>

#include "namespaces.h"
#include "options.h"
#include "scenario.h"
#include "selftest.h"
#include "supervisor.h"
#include "text_util.h"

namespace {

constexpr int kUsageError = 2;
constexpr int kBenchError = 3;
constexpr int kSelfTestFailed = 1;

void FillDefaults(bench::Options& options) {
    if (options.scenariosDir.empty()) {
        const char* fromEnv = getenv("DEVUZE_BENCH_SCENARIOS");
        options.scenariosDir = fromEnv != nullptr ? fromEnv : DEVUZE_BENCH_SCENARIOS;
    }
    if (options.tool.empty())
        options.tool = options.selfTest ? DEVUZE_BENCH_PROBE : DEVUZE_BENCH_TOOL;
    if (options.preload.empty()) options.preload = DEVUZE_BENCH_PRELOAD;
    const char* gcovPrefix = getenv("GCOV_PREFIX");
    const char* gcovStrip = getenv("GCOV_PREFIX_STRIP");
    if (gcovPrefix != nullptr && *gcovPrefix != '\0') {
        options.coverageDir = std::filesystem::absolute(gcovPrefix).string();
        options.coverageStrip = gcovStrip != nullptr ? gcovStrip : "";
    }
}

std::string DefaultOutDir(const std::string& scenario) {
    char stamp[32];
    time_t now = time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    return "bench-out/" + scenario + "-" + stamp;
}

bool MakeOutDir(std::string& outDir, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(outDir, ec);
    if (!ec) outDir = std::filesystem::canonical(outDir, ec).string();
    if (ec) error = "cannot create the output folder " + outDir + ": " + ec.message();
    return !ec;
}

bool MakeRootDir(std::string& rootDir, std::string& error) {
    const char* tmp = getenv("TMPDIR");
    std::string pattern =
        bench::JoinPath(tmp != nullptr && *tmp ? tmp : "/tmp", "devuzeV7-bench.XXXXXX");
    if (mkdtemp(pattern.data()) == nullptr) {
        error = "cannot create a temporary folder for the fake root in " + pattern;
        return false;
    }
    rootDir = pattern;
    return true;
}

volatile pid_t g_supervisor = -1;

void ForwardToSupervisor(int sig) {
    if (g_supervisor > 0) kill(g_supervisor, sig);
}

// The bench waits for its supervisor and hands it SIGINT and SIGTERM; the supervisor ends the
// tool and still writes the record.
int WaitForSupervisor(pid_t supervisor) {
    g_supervisor = supervisor;
    struct sigaction action {};
    action.sa_handler = ForwardToSupervisor;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    int status = 0;
    while (waitpid(supervisor, &status, 0) < 0) {
        if (errno != EINTR) return kBenchError;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : kBenchError;
}

int SelfTestVerdict(const std::string& outDir) {
    std::string text;
    if (!bench::ReadFileText(bench::JoinPath(outDir, "record.json"), text)) {
        std::cerr << "devuzeV7-bench: no record.json in " << outDir << std::endl;
        return kSelfTestFailed;
    }
    auto record = nlohmann::json::parse(text, nullptr, false);
    if (record.is_discarded()) return kSelfTestFailed;
    bool passed = bench::ReportChecks(bench::CheckSelfTestRecord(record), std::cout);
    return passed ? 0 : kSelfTestFailed;
}

int RunInNamespaces(const bench::Options& options, const bench::Scenario& scenario,
                    const bench::RunPaths& paths) {
    bool userNamespace = false;
    std::string error;
    if (!bench::EnterNamespaces(userNamespace, error)) {
        std::cerr << "devuzeV7-bench: " << error << std::endl;
        return kBenchError;
    }
    pid_t supervisor = fork();
    if (supervisor == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0);
        _exit(bench::RunSupervisor(options, scenario, paths));
    }
    int code = supervisor < 0 ? kBenchError : WaitForSupervisor(supervisor);
    umount2(paths.rootDir.c_str(), MNT_DETACH);
    rmdir(paths.rootDir.c_str());
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    bench::Options options;
    std::string error;
    if (!bench::ParseOptions(argc, argv, options, error)) {
        std::cerr << "devuzeV7-bench: " << error << "\n" << bench::Usage();
        return kUsageError;
    }
    if (options.help) {
        std::cout << bench::Usage();
        return 0;
    }
    FillDefaults(options);
    bench::Scenario scenario;
    if (!bench::LoadScenario(options.scenario, options.scenariosDir, scenario, error)) {
        std::cerr << "devuzeV7-bench: scenario " << options.scenario << ": " << error << std::endl;
        return kUsageError;
    }
    bench::ApplyRunOverrides(options, scenario);
    if (options.toolArgs.empty()) options.toolArgs = scenario.defaultArgs;
    std::string missing = bench::MissingPrerequisite(scenario, options);
    if (!missing.empty()) {
        std::cerr << "devuzeV7-bench: " << missing << std::endl;
        return kUsageError;
    }
    bench::RunPaths paths;
    paths.outDir = options.outDir.empty() ? DefaultOutDir(scenario.name) : options.outDir;
    if (!MakeOutDir(paths.outDir, error) || !MakeRootDir(paths.rootDir, error)) {
        std::cerr << "devuzeV7-bench: " << error << std::endl;
        return kBenchError;
    }
    int code = RunInNamespaces(options, scenario, paths);
    if (code != 0 || !options.selfTest) return code;
    return SelfTestVerdict(paths.outDir);
}
