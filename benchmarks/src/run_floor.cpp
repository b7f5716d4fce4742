#include "run_floor.h"

#include <regex>
#include <sstream>

#include "traceLogFormat.h"

namespace devbench {

namespace {
using nlohmann::json;

constexpr int kSystemBit = 0x80;
constexpr int kFirstLedPort = kSystemBit | tracefmt::kBeeperOutput;  // the two LEDs follow
constexpr int kLastLedPort = kSystemBit | tracefmt::kLedD2Output;
static_assert(kLastLedPort == kFirstLedPort + tracefmt::kLedCount - 1);

// The message part of every log line, without the "<n>=[tag][date time] " head.
std::vector<std::string> LogMessages(const std::string& log) {
    std::vector<std::string> messages;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);) {
        size_t tag = line.find(tracefmt::kSeqEnd);
        size_t head = tag == std::string::npos ? tag : line.find("] ", line.find("][", tag));
        if (head != std::string::npos) messages.push_back(line.substr(head + 2));
    }
    return messages;
}

// The cycle marker up to its number.
std::string CycleMarkStart() {
    std::string mark = tracefmt::kCycleFmt;
    return mark.substr(0, mark.find('%'));
}

int CountStarting(const std::vector<std::string>& messages, const std::string& start) {
    int count = 0;
    for (const std::string& m : messages) count += m.rfind(start, 0) == 0 ? 1 : 0;
    return count;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class FloorBuilder {
public:
    void Add(const std::string& what, int count, double eachMs) {
        if (count <= 0) return;
        m_floor.parts.push_back({what, count, count * eachMs});
        m_floor.totalMs += count * eachMs;
    }
    void AddMs(const std::string& what, int count, double totalMs) {
        if (count <= 0) return;
        m_floor.parts.push_back({what, count, totalMs});
        m_floor.totalMs += totalMs;
    }
    void Note(const std::string& note) { m_floor.notes.push_back(note); }
    RunFloor Done() { return m_floor; }

private:
    RunFloor m_floor;
};

void StartUpWaits(const std::vector<std::string>& messages, FloorBuilder& floor) {
    bool reachedDiscovery = CountStarting(messages, tracefmt::kLoadPortInfo) > 0 ||
                            CountStarting(messages, tracefmt::kSetUpFailed) > 0;
    floor.Add("start-up: after the blink timer starts", reachedDiscovery,
              wait_ms::kAfterStartTimer);
    floor.Add("start-up: after stopping the application", reachedDiscovery, wait_ms::kAfterStopApp);
    floor.Add("before the first cycle", CountStarting(messages, tracefmt::kCyclesStart),
              wait_ms::kBeforeCycles);
    int cycles = CountStarting(messages, CycleMarkStart());
    floor.Add("cycle: after stopping the blink timer", cycles, wait_ms::kAfterEndTimer);
    floor.Add("cycle: at its end", cycles, wait_ms::kCycleEnd);
}

// Text commands that switch the beeper alone ("SON=3", "SOFF=3").
bool IsBeeperCommand(const std::string& text) {
    static const std::regex kBeeper("^\\s*S(ON|OFF)=" + std::to_string(tracefmt::kBeeperOutput) +
                                    "\\s*$");
    return std::regex_match(text, kBeeper);
}

// The USB alert's switchings are the beeper commands that come before the last DIO request:
// the end pattern, which also switches the beeper, follows the last LED test.
void UsbAlertWaits(const json& timeline, FloorBuilder& floor) {
    double lastRequestMs = -1;
    for (const json& event : timeline)
        if (event.value("kind", "") == "ioctl") lastRequestMs = event.value("t_ms", 0.0);
    if (lastRequestMs < 0) {
        floor.Note("no DIO requests in the timeline: the USB alert is not counted");
        return;
    }
    int switchings = 0;
    for (const json& event : timeline) {
        if (event.value("kind", "") == "text" && event.value("t_ms", 0.0) < lastRequestMs &&
            IsBeeperCommand(event.value("text", "")))
            ++switchings;
    }
    floor.Add("USB alert: per beeper switching", switchings, wait_ms::kUsbAlertStep);
}

struct DioCounts {
    int outputsSettled = 0;     // ordinary outputs written, and SDO1/SDO2 read back right
    int ledOutputsSettled = 0;  // beeper and LED writes accepted
    int ledTests = 0;
};

int WrittenLevel(const std::string& request) {
    if (request == "VXDIO_SET_DO_ON") return 1;
    if (request == "VXDIO_SET_DO_OFF") return 0;
    return -1;
}

DioCounts CountDioWaits(const json& timeline) {
    DioCounts counts;
    int pendingPort = -1;
    int pendingLevel = -1;
    for (const json& event : timeline) {
        if (event.value("kind", "") != "ioctl") continue;
        const std::string request = event.value("name", "");
        const int port = event.value("arg", -1);
        const int answer = event.value("answer", -1);
        const int level = WrittenLevel(request);
        if (level >= 0) {
            if (port == kFirstLedPort && level == 0) ++counts.ledTests;
            if (answer < 0) continue;
            if (port >= kFirstLedPort && port <= kLastLedPort)
                ++counts.ledOutputsSettled;
            else if ((port & kSystemBit) == 0)
                ++counts.outputsSettled;
            else
                pendingPort = port, pendingLevel = level;
        } else if (request == "VXDIO_RD_DO" && port == pendingPort) {
            // A system output waits before its input is read only when it read back right.
            if (answer == pendingLevel) ++counts.outputsSettled;
            pendingPort = -1;
        }
    }
    return counts;
}

void DioWaits(const json& timeline, FloorBuilder& floor) {
    DioCounts counts = CountDioWaits(timeline);
    floor.Add("DIO test: per output settled", counts.outputsSettled, wait_ms::kOutputSettle);
    floor.Add("LED test: per output settled", counts.ledOutputsSettled, wait_ms::kOutputSettle);
    floor.Add("LED test: after closing the device", counts.ledTests, wait_ms::kLedTestClose);
}

void LoopBackWaits(const std::vector<std::string>& messages, FloorBuilder& floor) {
    static const std::regex kExchange(
        "^Write RS232-(\\d+) msgSend:.*,Read RS232-(\\d+)(?: OK!| Error!)? iread:(-?\\d+) msg: ");
    int ownReads = 0;
    int reads = 0;
    double readMs = 0;
    for (const std::string& message : messages) {
        std::smatch match;
        if (!std::regex_search(message, match, kExchange)) continue;
        ++reads;
        readMs += ReadWaitMs(std::stol(match[3]));
        if (match[1] == match[2]) ++ownReads;
    }
    floor.Add("RS232 test: after each whole write", ownReads, wait_ms::kSerialEcho);
    floor.AddMs("RS232 test: quiet line ending each read", reads, readMs);
}

void SensorWaits(const std::vector<std::string>& messages, FloorBuilder& floor) {
    static const std::regex kVerdict("^Port:.* Test (OK !!! |Err !!!)");
    static const std::regex kNoReply("^iwrite:-?\\d+ iread:(-?\\d+) Err!!!");
    int tests = 0;
    int shortReplies = 0;
    double readMs = 0;
    for (const std::string& message : messages) {
        std::smatch match;
        if (std::regex_search(message, kVerdict)) ++tests;
        if (std::regex_search(message, match, kNoReply)) {
            ++shortReplies;
            readMs += ReadWaitMs(std::stol(match[1]));
        }
    }
    if (shortReplies > tests) floor.Note("more short sensor replies than sensor tests");
    readMs += (tests - shortReplies) * wait_ms::kQuietLine;
    floor.Add("sensor test: between probe and reply", tests, wait_ms::kSensorReply);
    floor.AddMs("sensor test: quiet line ending the reply", tests, readMs);
}

void TipsWaits(const std::string& stdoutText, FloorBuilder& floor) {
    static const std::regex kNoReply("iwrite:-?\\d+ iread:(-?\\d+) Err!!!");
    floor.Add("tips message: before opening the port", 1, wait_ms::kTipsLead);
    if (!Contains(stdoutText, " iwrite:") || !Contains(stdoutText, " write:AT+")) return;
    floor.Add("tips message: between message and reply", 1, wait_ms::kTipsReply);
    std::smatch match;
    double readMs = std::regex_search(stdoutText, match, kNoReply) ? ReadWaitMs(std::stol(match[1]))
                                                                   : wait_ms::kQuietLine;
    floor.AddMs("tips message: quiet line ending the reply", 1, readMs);
}

void EndWaits(const std::vector<std::string>& messages, const std::string& stdoutText,
              FloorBuilder& floor) {
    int verdicts = CountStarting(messages, tracefmt::kVerdictOk) +
                   CountStarting(messages, tracefmt::kVerdictErr);
    int failurePatterns = CountStarting(messages, tracefmt::kSetUpFailed) +
                          CountStarting(messages, "open file:") + CountStarting(messages, "nLen:");
    floor.Add("end pattern: per step", (verdicts + failurePatterns) * wait_ms::kEndPatternSteps,
              wait_ms::kEndPatternStep);
    if (verdicts == 0) return;
    floor.Add("end of the run: pauses", 3, wait_ms::kEndPause);
    TipsWaits(stdoutText, floor);
}
}  // namespace

double ReadWaitMs(long bytesRead) {
    if (bytesRead < 0) return 0;
    return bytesRead == 0 ? 2 * wait_ms::kQuietLine : wait_ms::kQuietLine;
}

RunFloor ComputeFloor(const json& record) {
    FloorBuilder floor;
    const std::vector<std::string> messages = LogMessages(record.value("log", std::string()));
    const json timeline = record.value("timeline", json::array());
    StartUpWaits(messages, floor);
    UsbAlertWaits(timeline, floor);
    DioWaits(timeline, floor);
    LoopBackWaits(messages, floor);
    SensorWaits(messages, floor);
    EndWaits(messages, record.value("stdout", std::string()), floor);
    const json exitInfo = record.value("exit", json::object());
    if (exitInfo.value("code", -1) != 0 || exitInfo.value("timed_out", false))
        floor.Note("the tool did not end with status 0: the floor covers the waits seen");
    return floor.Done();
}

}  // namespace devbench
