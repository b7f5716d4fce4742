#include "bench_run.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace e2e {

namespace {
const std::regex kHead(R"(^(\d+)=\[([^\]]*)\]\[(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)\] ([\s\S]*)$)");
const std::regex kTail(R"(^([\s\S]*)\t(\S+) (\S+) line=(\d+)$)");

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string FreshOutDir(const std::string& label) {
    static std::atomic<int> counter{0};
    std::string dir = std::string(DEVUZE_E2E_OUT) + "/" + label + "-" + std::to_string(getpid()) +
                      "-" + std::to_string(counter++);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

int RunCommand(const std::vector<std::string>& argv, const std::string& outputFile) {
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        int fd = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, STDOUT_FILENO);
        dup2(fd, STDERR_FILENO);
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool FinishLine(const std::string& text, LogLine& line) {
    std::smatch tail;
    if (!std::regex_match(text, tail, kTail)) return false;
    line.message = tail[1];
    line.module = tail[2];
    line.function = tail[3];
    line.sourceLine = std::stoi(tail[4]);
    return true;
}
}  // namespace

std::vector<LogLine> ParseLog(const std::string& text, std::string* error) {
    std::vector<LogLine> lines;
    std::istringstream in(text);
    std::string textLine;
    LogLine current;
    std::string body;
    bool open = false;
    while (std::getline(in, textLine)) {
        if (!open) {
            std::smatch head;
            if (!std::regex_match(textLine, head, kHead)) {
                if (error) *error = "not the start of a log line: " + textLine;
                return lines;
            }
            current = LogLine{std::stol(head[1]), head[2], head[3], "", "", "", 0};
            body = head[4];
        } else {
            body += "\n" + textLine;
        }
        open = !FinishLine(body, current);
        if (!open) lines.push_back(current);
    }
    if (open && error) *error = "log ends inside a message: " + body;
    return lines;
}

std::string BenchRun::Diagnostics() const {
    return "bench exit " + std::to_string(benchExit) + ", output folder " + outDir + "\n" +
           benchOutput;
}

int BenchRun::ToolExitCode() const {
    if (!record.is_object()) return -1;
    return record["exit"].value("code", -1);
}

std::vector<LogLine> BenchRun::Log(std::string* error) const {
    if (!record.is_object()) return {};
    return ParseLog(record.value("log", ""), error);
}

std::vector<std::string> BenchRun::Messages() const {
    std::vector<std::string> messages;
    for (const LogLine& line : Log()) messages.push_back(line.message);
    return messages;
}

bool BenchRun::HasMessage(const std::string& message) const {
    for (const std::string& m : Messages()) {
        if (m == message) return true;
    }
    return false;
}

std::vector<nlohmann::json> BenchRun::Ioctls() const {
    std::vector<nlohmann::json> entries;
    for (const auto& entry : record["timeline"]) {
        if (entry["kind"] == "ioctl") entries.push_back(entry);
    }
    return entries;
}

std::vector<nlohmann::json> BenchRun::TextCommands() const {
    std::vector<nlohmann::json> entries;
    for (const auto& entry : record["timeline"]) {
        if (entry["kind"] == "text") entries.push_back(entry);
    }
    return entries;
}

std::vector<nlohmann::json> BenchRun::Serial(const std::string& port,
                                             const std::string& dir) const {
    std::vector<nlohmann::json> messages;
    for (const auto& message : record["serial"]) {
        if (message["port"] == port && message["dir"] == dir) messages.push_back(message);
    }
    return messages;
}

bool BenchRun::FileContent(const std::string& boardPath, std::string& content) const {
    const nlohmann::json* file = nullptr;
    if (record["files"].contains(boardPath)) file = &record["files"][boardPath];
    for (const auto& [point, medium] : record["media"].items()) {
        if (medium["files"].contains(boardPath)) file = &medium["files"][boardPath];
    }
    if (file == nullptr || !file->contains("content")) return false;
    content = (*file)["content"];
    return true;
}

BenchRun RunScenario(const std::string& scenario, const std::vector<std::string>& toolArgs,
                     const std::string& label, const std::vector<std::string>& benchArgs) {
    BenchRun run;
    run.outDir = FreshOutDir(label);
    std::vector<std::string> argv = {DEVUZE_BENCH_EXE, "--scenario", scenario,
                                     "--quiet",        "--out",      run.outDir};
    argv.insert(argv.end(), benchArgs.begin(), benchArgs.end());
    if (!toolArgs.empty()) {
        argv.push_back("--");
        argv.insert(argv.end(), toolArgs.begin(), toolArgs.end());
    }
    std::string outputFile = run.outDir + "/bench-output.txt";
    run.benchExit = RunCommand(argv, outputFile);
    run.benchOutput = ReadText(outputFile);
    std::string recordText = ReadText(run.outDir + "/record.json");
    run.record = nlohmann::json::parse(recordText, nullptr, false);
    if (run.record.is_discarded()) run.record = nullptr;
    return run;
}

std::vector<std::string> ReadExpectations(const std::string& name,
                                          const std::map<std::string, std::string>& values) {
    std::istringstream in(ReadText(std::string(DEVUZE_E2E_DATA) + "/" + name));
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        for (const auto& [key, value] : values) {
            std::string token = "${" + key + "}";
            for (size_t at; (at = line.find(token)) != std::string::npos;)
                line.replace(at, token.size(), value);
        }
        lines.push_back(line);
    }
    return lines;
}

long FindSequence(const std::vector<std::string>& messages,
                  const std::vector<std::string>& expected) {
    if (expected.empty() || messages.size() < expected.size()) return -1;
    for (size_t start = 0; start + expected.size() <= messages.size(); ++start) {
        if (std::equal(expected.begin(), expected.end(),
                       messages.begin() + static_cast<long>(start)))
            return static_cast<long>(start);
    }
    return -1;
}

}  // namespace e2e
