// Helper for end-to-end tests: runs a bench scenario with the real devuzeV7 binary and gives
// the run record (record.json, see bench/src/record.h) plus a parsed trace log.
//
// A suite runs its scenario once and shares the record among its tests (suite_run.h); each
// suite is one ctest (label e2e), suites run in parallel, every run has its own output folder:
//
//   TEST_F(MyBoard, Passes) {
//       EXPECT_EQ(run->ToolExitCode(), 0);
//       EXPECT_TRUE(run->HasMessage("Test Q7 OK!!!"));
//       for (const auto& request : run->Ioctls()) ...;          // DIO timeline
//       for (const auto& m : run->Serial("/dev/RS232-5", "rx")) ...;  // what the fixture heard
//   }
//
// An empty argument list runs the tool with the scenario's own default arguments ([run] args).
// Expectations kept as data live in tests/e2e/data; ReadExpectations() reads such a file.
#pragma once

#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace e2e {

// One message of the trace log: "<n>=[<tag>][<time>] <message>\t<module> <function> line=<l>".
// A message may span several text lines (it then holds the line feeds).
struct LogLine {
    long number = -1;
    std::string tag;
    std::string time;  // "YYYY-MM-DD hh:mm:ss"
    std::string message;
    std::string module;
    std::string function;
    int sourceLine = 0;
};

// Parses a whole log text. On a line that breaks the layout, returns what was parsed so far
// and sets `error` (when given) to a description of the offending line.
std::vector<LogLine> ParseLog(const std::string& text, std::string* error = nullptr);

class BenchRun {
public:
    int benchExit = -1;       // exit code of devuzeV7-bench itself
    std::string outDir;       // the run's output folder (artifacts)
    std::string benchOutput;  // what the bench printed (summary, errors)
    nlohmann::json record;    // record.json, null when missing

    // The bench ran and wrote a record.
    bool Ok() const { return benchExit == 0 && record.is_object(); }
    std::string Diagnostics() const;

    // Exit code of the tool, or -1 when it ended by a signal.
    int ToolExitCode() const;
    std::vector<LogLine> Log(std::string* error = nullptr) const;
    std::vector<std::string> Messages() const;
    bool HasMessage(const std::string& message) const;
    // Timeline entries of kind "ioctl" or "text".
    std::vector<nlohmann::json> Ioctls() const;
    std::vector<nlohmann::json> TextCommands() const;
    // Serial messages of one port ("/dev/RS232-1") and direction ("rx": the tool wrote,
    // "tx": the fixture sent), in time order.
    std::vector<nlohmann::json> Serial(const std::string& port, const std::string& dir) const;
    // A file the tool left under /NandFlash or on a medium, by its path on the board.
    bool FileContent(const std::string& boardPath, std::string& content) const;
};

// Runs `devuzeV7-bench --scenario <scenario> --quiet --out <fresh folder> [-- args]`.
// `label` names the output folder (use the suite's name).
BenchRun RunScenario(const std::string& scenario, const std::vector<std::string>& toolArgs,
                     const std::string& label, const std::vector<std::string>& benchArgs = {});

// Lines of tests/e2e/data/<name>, without blank lines and lines starting with "#".
// `${KEY}` is replaced by the value of KEY in `values`.
std::vector<std::string> ReadExpectations(const std::string& name,
                                          const std::map<std::string, std::string>& values = {});

// Index in `messages` where `expected` starts as a consecutive run, or -1.
long FindSequence(const std::vector<std::string>& messages,
                  const std::vector<std::string>& expected);

}  // namespace e2e
