#include "hourTable.h"

#include <algorithm>
#include <map>
#include <tuple>
#include <unordered_map>

namespace yield {
namespace {

constexpr size_t kHourAt = 11;  // "2026_12_07_" comes before the hour
constexpr int kHoursInDay = 24;

struct History {
    const RunSummary* first = nullptr;
    const RunSummary* lastComplete = nullptr;
};

bool Earlier(const RunSummary& a, const RunSummary& b) {
    return std::tie(a.timeStamp, a.id) < std::tie(b.timeStamp, b.id);
}

void Note(History& h, const RunSummary& run) {
    if (h.first == nullptr || Earlier(run, *h.first)) h.first = &run;
    if (run.verdict == Verdict::Incomplete) return;
    if (h.lastComplete == nullptr || Earlier(*h.lastComplete, run)) h.lastComplete = &run;
}

FirstTest TestOf(const std::string& chipId, const History& h) {
    FirstTest t;
    t.chipId = chipId;
    t.station = FixtureOf(*h.first);
    t.timeStamp = h.first->timeStamp;
    t.runId = h.first->id;
    t.firstPassed = h.first->verdict == Verdict::Ok;
    t.finalPassed = h.lastComplete != nullptr && h.lastComplete->verdict == Verdict::Ok;
    return t;
}

double Share(long long part, long long whole) {
    return whole == 0 ? 0.0 : static_cast<double>(part) / static_cast<double>(whole);
}

}  // namespace

std::vector<FirstTest> FirstTests(const std::vector<RunSummary>& runs) {
    std::unordered_map<std::string, History> boards;
    for (const RunSummary& run : runs) Note(boards[run.chipId], run);
    std::vector<FirstTest> tests;
    tests.reserve(boards.size());
    for (const auto& [chipId, h] : boards) tests.push_back(TestOf(chipId, h));
    std::sort(tests.begin(), tests.end(), [](const FirstTest& a, const FirstTest& b) {
        return std::tie(a.timeStamp, a.runId) < std::tie(b.timeStamp, b.runId);
    });
    return tests;
}

int HourOf(const std::string& timeStamp) {
    if (timeStamp.size() < kHourAt + 2) return -1;
    char tens = timeStamp[kHourAt], ones = timeStamp[kHourAt + 1];
    if (tens < '0' || tens > '9' || ones < '0' || ones > '9') return -1;
    int hour = (tens - '0') * 10 + (ones - '0');
    return hour < kHoursInDay ? hour : -1;
}

std::vector<HourRow> HourTable(const std::vector<RunSummary>& runs) {
    std::map<std::pair<std::string, int>, HourRow> cells;
    for (const FirstTest& t : FirstTests(runs)) {
        int hour = HourOf(t.timeStamp);
        if (hour < 0) continue;
        HourRow& row = cells[{t.station, hour}];
        row.station = t.station;
        row.hour = hour;
        ++row.boards;
        row.firstPassed += t.firstPassed ? 1 : 0;
        row.finalPassed += t.finalPassed ? 1 : 0;
    }
    std::vector<HourRow> rows;
    for (auto& [key, row] : cells) {
        row.firstPassYield = Share(row.firstPassed, row.boards);
        row.finalYield = Share(row.finalPassed, row.boards);
        rows.push_back(row);
    }
    return rows;
}

}  // namespace yield
