#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <sstream>

#include "micro_benchmarks.h"
#include "temp_dir.h"
#include "vxLog.h"

namespace {
constexpr char kLogModule[] = "devuzeV7";
}  // namespace

namespace devbench {

namespace {
static_assert(kLinesPerBatch < static_cast<int>(vxlog::kLinesPerFile),
              "a batch must not reach the log rotation");

constexpr char kPattern[] = "0123456789ABCDEFGHIJKLMNOPQRSTU";
constexpr int kBareOpenFlags = O_WRONLY | O_APPEND | O_CREAT;
constexpr mode_t kBareMode = 0644;

// A count line of the start-up and an exchange line of the serial test: the shortest and
// the longest kind of line a run writes often.
struct Message {
    const char* tag;
    void (*writeBatch)();
};

void WriteShortBatch() {
    for (int i = 0; i < kLinesPerBatch; ++i)
        RTLOG_FMT_FROM(__func__, tracefmt::kCountFmt, tracefmt::kCountRs232, 5);
}

void WriteLongBatch() {
    for (int i = 0; i < kLinesPerBatch; ++i)
        RTLOG("Write RS232-%d msgSend:%s,Read RS232-%d OK! iread:%d msg: %s", 1, kPattern, 2, 32,
              kPattern);
}

constexpr Message kMessages[] = {{"short", WriteShortBatch}, {"long", WriteLongBatch}};

// The log path stays alive for the whole run: `filename` points into it.
std::string g_logPath;

void StartOver() {
    unlink(g_logPath.c_str());
    vxlog::ResetLineNumber();
}

// The exact lines trace_log writes for one batch, as the floor's input.
std::vector<std::string> RecordBatch(const Message& message) {
    StartOver();
    message.writeBatch();
    std::istringstream text(ReadWholeFile(g_logPath));
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);) lines.push_back(line + "\n");
    StartOver();
    return lines;
}

double SecondsOf(const std::function<void()>& work) {
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool BareAppend(const std::vector<std::string>& lines) {
    bool ok = true;
    for (const std::string& line : lines) {
        int fd = open(g_logPath.c_str(), kBareOpenFlags, kBareMode);
        ok = ok && fd >= 0 &&
             write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
        if (fd >= 0) close(fd);
    }
    return ok;
}

// Each iteration times one batch of trace_log and one batch of the bare calls back to back,
// the order alternating, so both see the same state of the machine; the ratio is taken per
// iteration and its median reported.
void PairedBatches(benchmark::State& state, const Message& message,
                   const std::vector<std::string>& lines) {
    std::vector<double> ratios;
    double logSec = 0;
    double bareSec = 0;
    bool ok = true;
    for (auto _ : state) {
        double log = 0;
        double bare = 0;
        auto timeLog = [&] {
            log = SecondsOf(message.writeBatch);
            StartOver();
        };
        auto timeBare = [&] {
            bare = SecondsOf([&] { ok = BareAppend(lines) && ok; });
            StartOver();
        };
        if (ratios.size() % 2 == 0) {
            timeLog();
            timeBare();
        } else {
            timeBare();
            timeLog();
        }
        ratios.push_back(log / bare);
        logSec += log;
        bareSec += bare;
    }
    if (!ok) state.SkipWithError("bare append failed");
    const double written = static_cast<double>(state.iterations()) * kLinesPerBatch;
    state.counters[kSubjectCounter] = logSec / written;
    state.counters[kBaselineCounter] = bareSec / written;
    state.counters[kRatioCounter] = Median(ratios);
    state.SetItemsProcessed(state.iterations() * kLinesPerBatch);
}

std::string PairName(const Message& m) { return std::string("trace_log_vs_bare/") + m.tag; }
}  // namespace

bool RegisterTraceLogBenchmarks(const std::string& dir, std::string& error) {
    g_logPath = dir + "/deVuzeV7.log";
    filename = g_logPath.c_str();
    for (const Message& message : kMessages) {
        std::vector<std::string> lines = RecordBatch(message);
        if (lines.size() != static_cast<size_t>(kLinesPerBatch)) {
            error = "trace_log wrote " + std::to_string(lines.size()) + " lines to " + g_logPath +
                    " instead of " + std::to_string(kLinesPerBatch);
            return false;
        }
        benchmark::RegisterBenchmark(PairName(message).c_str(), PairedBatches, message, lines)
            ->UseRealTime();
    }
    return true;
}

std::vector<RatioPair> TraceLogPairs() {
    constexpr double kTraceLogGoal = 1.3;
    std::vector<RatioPair> pairs;
    for (const Message& m : kMessages) {
        RatioPair pair{std::string("trace_log vs open/write/close, ") + m.tag + " line",
                       PairName(m),
                       "",
                       1,
                       "line",
                       kTraceLogGoal,
                       false};
        pair.paired = true;
        pairs.push_back(pair);
    }
    return pairs;
}

}  // namespace devbench
