// devuzeV7-yield-dashboard-time DB DAY [TIMES]
// Times what the live screen's worker does at each change of the data: a store opened afresh,
// the day's screen and its stations' uploads read from it (ReadReport, StationUploads) and turned
// into its JSON text, the wall included. Prints the
// median and the slowest of TIMES (default 20) in milliseconds, after one untimed read that fills
// the caches as a server that has been running finds them.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "ratio_table.h"
#include "report/readReport.h"
#include "report/screenJson.h"
#include "serve/liveState.h"
#include "store/openStore.h"

namespace {

constexpr int kDefaultTimes = 20;
constexpr char kUsage[] = "usage: %s DB DAY [TIMES]\n";
constexpr char kFigures[] =
    "dashboard of %s: %lld runs, JSON %zu bytes; median %.1f ms, max %.1f ms over %d times\n";

struct Reading {
    long long runs = 0;
    size_t bytes = 0;
};

// One refresh as the worker makes it.
Reading Refresh(const std::string& db, const std::string& day) {
    std::unique_ptr<yield::ReadStore> store = yield::OpenReadStore(db);
    yield::ReadOptions reading = yield::ScreenReading(yield::AlarmRule{}.boards);
    reading.now = std::time(nullptr);
    yield::ReportModel m = yield::ReadReport(*store, yield::DayFilter(day), reading);
    std::vector<yield::StationUpload> uploads = store->StationUploads(yield::SeenSince(day));
    store.reset();
    nlohmann::json data = yield::ScreenJson(m);
    data[yield::kWall] = yield::WallJson(m, yield::WallSettings{}, uploads, reading.now);
    std::string json = yield::ScreenBody(data, nlohmann::json::array(), nlohmann::json::array());
    return {m.summary.runs, json.size()};
}

double TimedMs(const std::string& db, const std::string& day) {
    auto start = std::chrono::steady_clock::now();
    Refresh(db, day);
    std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    return took.count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, kUsage, argv[0]);
        return 2;
    }
    const std::string db = argv[1], day = argv[2];
    int times = argc == 4 ? std::atoi(argv[3]) : kDefaultTimes;
    if (times <= 0) {
        std::fprintf(stderr, kUsage, argv[0]);
        return 2;
    }
    try {
        Reading first = Refresh(db, day);
        std::vector<double> ms;
        for (int i = 0; i < times; ++i) ms.push_back(TimedMs(db, day));
        const double slowest = *std::max_element(ms.begin(), ms.end());
        std::printf(kFigures, day.c_str(), first.runs, first.bytes, devbench::Median(ms), slowest,
                    times);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
        return 1;
    }
    return 0;
}
