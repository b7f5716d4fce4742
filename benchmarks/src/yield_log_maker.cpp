#include "yield_log_maker.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "traceLogFormat.h"

namespace benchutil {
namespace {

constexpr size_t kTimeLen = tracefmt::kRecordTimeLength;  // "YYYY-MM-DD HH:MM:SS"
// 100,000 runs end at 19:46 on 2026-02-16, a day of 1,924 runs with room for more before midnight:
// the live screen's day as the evening shift sees it.
constexpr long long kFirstStart = 1767571200;  // 2026-01-05 00:00:00 UTC
// A line's year ends before today: runs stamped after the time they are read are taken for
// boards whose clock was never set.
constexpr long long kLineFirstStart = 1736121600;  // 2025-01-06 00:00:00 UTC
constexpr int kRunSpacing = 37;                // seconds between made runs
constexpr char kHostFmt[] = "fixture-%02lld";
constexpr char kChipIdFmt[] = "0x%08llX";
constexpr long long kFirstChipId = 0x10000000LL;
constexpr int kTallySeeds = 1000;

// The line's mix. Chances are in parts per million.
constexpr long long kDaySeconds = 86400;
constexpr long long kShiftStart = 6 * 3600;     // the first shift starts at 06:00
constexpr long long kShiftSeconds = 16 * 3600;  // the second ends at 22:00
constexpr long long kLineRunsPerDay = 2740;     // 1,000,000 runs in 365 days
constexpr long long kMillion = 1000000;
constexpr long long kFailChance = 60000;     // a board's first run fails (besides the drift)
constexpr long long kFaultShare = 3;         // one such failure in three is the board's own fault
constexpr long long kSecondRetestShare = 2;  // one faulty board in two is retested twice
constexpr long long kDriftAtYear = 120000;   // the drifting port's failure chance after a year
constexpr long long kDriftDays = 365;
constexpr long long kRetestDelayMin = 3;  // slots (about 21 s each) before a retest
constexpr long long kRetestDelaySpread = 38;
constexpr long long kDriftStation = 2;  // fixture-03, when there are that many

// What is drawn for a board, each from its own stream.
enum Draw : unsigned long long {
    kDrawFail = 1,
    kDrawStation,
    kDrawDrift,
    kDrawLog,
    kDrawFault,
    kDrawSecond,
    kDrawRetestStation,
    kDrawRetestDelay = kDrawRetestStation + 4,
};

constexpr char kDocStart[] = " ok:";
constexpr char kDocEnd[] = " !!!";
constexpr char kForgedDocHead[] = R"({"logDate":[{"name":"DO","info":[)";
constexpr char kForgedPort[] = R"({"port":1})";
constexpr size_t npos() { return std::string_view::npos; }

bool ParseTime(std::string_view s, char dateSep, char mid, char timeSep, long long& epoch) {
    if (s.size() < kTimeLen) return false;
    std::tm tm{};
    char a = 0, b = 0, c = 0, d = 0, e = 0;
    std::string text(s.substr(0, kTimeLen));
    if (std::sscanf(text.c_str(), "%4d%c%2d%c%2d%c%2d%c%2d%c%2d", &tm.tm_year, &a, &tm.tm_mon, &b,
                    &tm.tm_mday, &c, &tm.tm_hour, &d, &tm.tm_min, &e, &tm.tm_sec) != 11 ||
        a != dateSep || b != dateSep || c != mid || d != timeSep || e != timeSep) {
        return false;
    }
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    epoch = static_cast<long long>(timegm(&tm));
    return true;
}

// "YYYY-MM-DD HH:MM:SS" (a log line's time) or, with `stamp`, "YYYY_MM_DD_HH_MM_SS".
std::string FormatTime(long long epoch, bool stamp) {
    std::time_t t = static_cast<std::time_t>(epoch);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    if (stamp) {
        std::strftime(buf, sizeof buf, tracefmt::kTimeStampFmt, &tm);
    } else {
        std::strftime(buf, sizeof buf, tracefmt::kRecordTimeFmt, &tm);
    }
    return buf;
}

// Where a record line's time starts ("N=[tag][" before it), or npos.
size_t TimeStart(std::string_view line) {
    size_t i = 0;
    while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i]))) ++i;
    if (i == 0 || line.substr(i, 2) != tracefmt::kSeqEnd) return npos();
    size_t close = line.find("][", i + 2);
    if (close == std::string_view::npos || close + 2 + kTimeLen + 2 > line.size()) return npos();
    return close + 2;
}

// Replaces the message text after `key` up to the tab that ends the message.
std::string SetValue(std::string_view message, std::string_view key, const std::string& value) {
    size_t tab = message.find('\t');
    std::string out(key);
    out += value;
    if (tab != std::string_view::npos) out += message.substr(tab);
    return out;
}

// Replaces the JSON string value of `key` in the result document.
void SetJsonValue(std::string& message, const std::string& key, const std::string& value) {
    std::string head = "\"" + key + "\":\"";
    size_t at = message.find(head);
    if (at == std::string::npos) return;
    size_t from = at + head.size();
    size_t to = message.find('"', from);
    if (to != std::string::npos) message.replace(from, to - from, value);
}

// "...Test Succ Cnt A,Error Cnt B..." with new counts; false when the message is not a tally.
bool SetTally(std::string& message, int seed, int index, std::pair<int, int>& counts) {
    const std::string succKey = tracefmt::kTallySuccKey, errKey = tracefmt::kTallyErrKey;
    size_t s = message.find(succKey);
    if (s == std::string::npos) return false;
    size_t e = message.find(errKey, s);
    if (e == std::string::npos) return false;
    size_t sFrom = s + succKey.size(), eFrom = e + errKey.size();
    size_t eTo = eFrom;
    while (eTo < message.size() && std::isdigit(static_cast<unsigned char>(message[eTo]))) ++eTo;
    int succ = std::atoi(message.c_str() + sFrom);
    int err = std::atoi(message.c_str() + eFrom);
    // More cycles of the same kind: a port keeps passing, failing or both, as in the golden run.
    int more = (seed + index) % 4;
    counts = {succ > 0 ? succ + more : 0, err > 0 ? err + more : 0};
    message = message.substr(0, sFrom) + std::to_string(counts.first) + errKey +
              std::to_string(counts.second) + message.substr(eTo);
    return true;
}

std::string HostName(long long station) {
    char buf[32];
    std::snprintf(buf, sizeof buf, kHostFmt, station + 1);
    return buf;
}

std::string ChipId(long long board) {
    char buf[32];
    std::snprintf(buf, sizeof buf, kChipIdFmt, kFirstChipId + board);
    return buf;
}

// A well-mixed 64-bit value for (board, draw): splitmix64's finaliser.
unsigned long long Hash(long long board, unsigned long long draw) {
    unsigned long long z = static_cast<unsigned long long>(board) * 0x9E3779B97F4A7C15ULL + draw;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

long long Pick(long long board, unsigned long long draw, long long n) {
    return static_cast<long long>(Hash(board, draw) % static_cast<unsigned long long>(n));
}

bool Chance(long long board, unsigned long long draw, long long ppm) {
    return Pick(board, draw, kMillion) < ppm;
}

}  // namespace

MadeLog MakeLog(std::string_view golden, const MadeIdentity& id) {
    MadeLog made;
    long long goldenStart = 0;
    const std::string dateTime = std::string("] ") + tracefmt::kDateTimeKey;
    size_t dt = golden.find(dateTime);
    if (dt != npos()) ParseTime(golden.substr(dt + dateTime.size()), '_', '_', '_', goldenStart);
    long long shift = goldenStart ? id.startEpoch - goldenStart : 0;
    made.timeStamp = FormatTime(id.startEpoch, true);
    made.text.reserve(golden.size() + 64);
    bool header = true;
    for (size_t pos = 0; pos < golden.size();) {
        size_t end = golden.find('\n', pos);
        end = end == npos() ? golden.size() : end + 1;
        std::string_view line = golden.substr(pos, end - pos);
        pos = end;
        size_t t = TimeStart(line);
        long long epoch = 0;
        if (t == npos() || !ParseTime(line.substr(t), '-', ' ', ':', epoch)) {
            made.text += line;
            continue;
        }
        std::string message(line.substr(t + kTimeLen + 2));
        if (header && message.rfind(tracefmt::kHostKey, 0) == 0) {
            message = SetValue(message, tracefmt::kHostKey, id.host);
        } else if (header && message.rfind(tracefmt::kDateTimeKey, 0) == 0) {
            message = SetValue(message, tracefmt::kDateTimeKey, made.timeStamp);
        } else if (header && message.rfind(tracefmt::kChipIdKey, 0) == 0) {
            message = SetValue(message, tracefmt::kChipIdKey, id.chipId);
            header = false;
        } else if (message.rfind(tracefmt::kResultDocStart, 0) == 0 &&
                   message.find(std::string(tracefmt::kResultDocMark) + "{") != npos()) {
            SetJsonValue(message, "DevType", id.host);
            SetJsonValue(message, "DateTime", made.timeStamp);
        } else {
            std::pair<int, int> counts;
            if (SetTally(message, id.tallySeed, static_cast<int>(made.tallies.size()), counts))
                made.tallies.push_back(counts);
        }
        made.text += line.substr(0, t);
        made.text += FormatTime(epoch + shift, false);
        made.text += line.substr(t + kTimeLen, 2);  // "] "
        made.text += message;
    }
    return made;
}

MadeIdentity NthIdentity(long long i, long long hosts) {
    MadeIdentity id;
    id.host = HostName(i % std::max(hosts, 1LL));
    id.chipId = ChipId(i - (i % 10 == 9 ? 1 : 0));
    id.startEpoch = kFirstStart + i * kRunSpacing;
    id.tallySeed = static_cast<int>(i % kTallySeeds);
    return id;
}

long long DriftStation(long long stations) {
    return std::min(kDriftStation, std::max(stations, 1LL) - 1);
}

LineMix::LineMix(const LineMixShape& shape) : shape_(shape) {
    shape_.stations = std::max(shape_.stations, 1LL);
    shape_.failingLogs = std::max(shape_.failingLogs, 1);
    shape_.driftLog = std::clamp(shape_.driftLog, 0, shape_.failingLogs - 1);
}

LineRun LineMix::Next() {
    LineRun run;
    if (!retests_.empty() && retests_.top().due <= slot_) {
        Retest r = retests_.top();
        retests_.pop();
        run = r.run;
        if (r.more > 0) ScheduleRetest(run, r.more - 1, false);
    } else {
        run = FirstRun();
    }
    Place(run);
    ++slot_;
    return run;
}

LineRun LineMix::FirstRun() {
    LineRun run;
    run.board = boards_++;
    long long b = run.board;
    long long day = slot_ / kLineRunsPerDay;
    run.station = Pick(b, kDrawStation, shape_.stations);
    run.id.host = HostName(run.station);
    long long drift = kDriftAtYear * std::min(day, kDriftDays) / kDriftDays;
    if (run.station == DriftStation(shape_.stations) && Chance(b, kDrawDrift, drift)) {
        run.pass = false;
        run.drift = true;
        run.failingLog = shape_.driftLog;
        ScheduleRetest(run, 0, true);  // on another station, the board passes
    } else if (Chance(b, kDrawFail, kFailChance)) {
        run.pass = false;
        run.failingLog = static_cast<int>(Pick(b, kDrawLog, shape_.failingLogs));
        bool fault = Pick(b, kDrawFault, kFaultShare) == 0;
        int more = fault && Pick(b, kDrawSecond, kSecondRetestShare) == 0 ? 1 : 0;
        ScheduleRetest(run, more, !fault);
    }
    return run;
}

// The retest after `after`, on another station; `more` failing retests follow a failing one.
void LineMix::ScheduleRetest(const LineRun& after, int more, bool pass) {
    Retest r;
    r.run = after;
    r.run.attempt = after.attempt + 1;
    r.run.pass = pass;
    r.run.drift = false;
    r.more = more;
    long long b = after.board;
    if (shape_.stations > 1) {
        long long other = Pick(b, kDrawRetestStation + r.run.attempt, shape_.stations - 1);
        r.run.station = (after.station + 1 + other) % shape_.stations;
    }
    r.run.id.host = HostName(r.run.station);
    r.due = slot_ + kRetestDelayMin + Pick(b, kDrawRetestDelay + r.run.attempt, kRetestDelaySpread);
    retests_.push(r);
}

// The run's chip ID, start (its slot's place in the day's shifts) and tallies.
void LineMix::Place(LineRun& run) const {
    long long day = slot_ / kLineRunsPerDay;
    long long within = (slot_ % kLineRunsPerDay) * kShiftSeconds / kLineRunsPerDay;
    run.id.chipId = ChipId(run.board);
    run.id.startEpoch = kLineFirstStart + day * kDaySeconds + kShiftStart + within;
    run.id.tallySeed = static_cast<int>(slot_ % kTallySeeds);
}

std::string ForgedPortsLog(std::string_view golden, long long ports) {
    std::string log(golden);
    size_t from = log.find(kDocStart);
    if (from == std::string::npos) return log;
    from += std::strlen(kDocStart);
    size_t to = log.find(kDocEnd, from);
    std::string doc = kForgedDocHead;
    doc.reserve(static_cast<size_t>(ports) * (sizeof kForgedPort) + 16);
    for (long long i = 0; i < ports; ++i) {
        if (i > 0) doc += ',';
        doc += kForgedPort;
    }
    doc += "]}]}";
    return log.replace(from, to - from, doc);
}

}  // namespace benchutil
