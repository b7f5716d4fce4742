#include "yield_log_maker.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unordered_map>

#include "parse/logParser.h"

namespace fs = std::filesystem;

namespace {

std::string ReadGolden(const std::string& scenario) {
    fs::path dir = fs::path(YIELD_GOLDEN_DIR) / scenario / "NandFlash" / "test";
    for (const auto& f : fs::directory_iterator(dir)) {
        std::ifstream in(f.path(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    return {};
}

// A made log parses to what it was made from: the new identity, start and tallies, and otherwise
// the golden run (verdict, ports, measurements) unchanged.
class YieldLogMaker : public ::testing::TestWithParam<const char*> {};

TEST_P(YieldLogMaker, MadeLogParsesToWhatItWasMadeFrom) {
    std::string golden = ReadGolden(GetParam());
    ASSERT_FALSE(golden.empty());
    yield::ParseResult original = yield::ParseLog(golden);
    ASSERT_EQ(original.kind, yield::ParseResult::Kind::Run);

    benchutil::MadeIdentity id = benchutil::NthIdentity(12345);
    benchutil::MadeLog made = benchutil::MakeLog(golden, id);
    yield::ParseResult parsed = yield::ParseLog(made.text);
    ASSERT_EQ(parsed.kind, yield::ParseResult::Kind::Run) << parsed.reason;
    const yield::RunRecord& run = parsed.run;

    EXPECT_EQ(run.host, id.host);
    EXPECT_EQ(run.chipId, id.chipId);
    EXPECT_EQ(run.timeStamp, made.timeStamp);
    EXPECT_EQ(run.timeStamp, "2026_01_10_06_52_45");  // 12345 runs of 37 s after the first
    EXPECT_EQ(run.startedAt, "2026-01-10 06:52:45");
    EXPECT_EQ(run.verdict, original.run.verdict);
    EXPECT_EQ(run.FailingPorts(), original.run.FailingPorts());
    EXPECT_EQ(run.measurements.size(), original.run.measurements.size());
    EXPECT_EQ(run.records, original.run.records);
    EXPECT_NE(run.resultDoc.find("\"DevType\":\"" + id.host + "\""), std::string::npos);

    ASSERT_EQ(run.tallies.size(), made.tallies.size());
    ASSERT_EQ(run.tallies.size(), original.run.tallies.size());
    bool changed = false;
    for (size_t i = 0; i < run.tallies.size(); ++i) {
        const yield::PortTally& t = run.tallies[i];
        EXPECT_EQ(t.family, original.run.tallies[i].family);
        EXPECT_EQ(t.number, original.run.tallies[i].number);
        EXPECT_EQ(t.variant, original.run.tallies[i].variant);
        EXPECT_EQ(t.succ, made.tallies[i].first) << i;
        EXPECT_EQ(t.err, made.tallies[i].second) << i;
        changed = changed || t.succ != original.run.tallies[i].succ;
    }
    EXPECT_TRUE(changed);
}

INSTANTIATE_TEST_SUITE_P(Golden, YieldLogMaker,
                         ::testing::Values("standard", "serial-cut-pair", "dio-stuck-di5-0",
                                           "adc-boundaries", "usb-none", "at-silent"));

TEST(YieldLogMakerIdentity, OneBoardInTenIsRetestedOnAnotherHost) {
    benchutil::MadeIdentity first = benchutil::NthIdentity(8), retest = benchutil::NthIdentity(9);
    EXPECT_EQ(first.chipId, retest.chipId);
    EXPECT_NE(first.host, retest.host);
    EXPECT_GT(retest.startEpoch, first.startEpoch);
    EXPECT_NE(benchutil::NthIdentity(10).chipId, retest.chipId);
}

std::string UtcTime(long long epoch) {
    time_t t = static_cast<time_t>(epoch);
    tm utc{};
    gmtime_r(&t, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &utc);
    return text;
}

// 100,000 runs end on an evening, and the 200 the live screen's load adds fall on the same day.
TEST(YieldLogMakerIdentity, HundredThousandRunsEndWithRoomForTheLiveLoadThatDay) {
    EXPECT_EQ(UtcTime(benchutil::NthIdentity(0).startEpoch), "2026-01-05 00:00:00");
    EXPECT_EQ(UtcTime(benchutil::NthIdentity(99999).startEpoch), "2026-02-16 19:46:03");
    EXPECT_EQ(UtcTime(benchutil::NthIdentity(100199).startEpoch), "2026-02-16 21:49:23");
}

}  // namespace

// A year of a line's mix: its figures in their bands, read as the tool reads them (boards by
// processor ID, stations by host name, hours from the start).
TEST(YieldLogMakerLineMix, AYearHasTheLinesFigures) {
    constexpr long long kRuns = 1000000, kQuarter = kRuns / 4;
    benchutil::LineMix mix({6, 5, 3});
    struct Board {
        bool firstPass = false, lastPass = false;
        std::string lastHost;
    };
    std::unordered_map<std::string, Board> boards;
    long long retests = 0, badHours = 0, sameStation = 0, lastStart = 0;
    // First runs and drift-log failures, of the drifting station and of another, by quarter.
    long long firsts[2][4] = {}, driftFails[2][4] = {};
    const std::string drifting = "fixture-03", steady = "fixture-05";
    for (long long i = 0; i < kRuns; ++i) {
        benchutil::LineRun run = mix.Next();
        std::string start = UtcTime(run.id.startEpoch);
        badHours += start.substr(11) < "06:00:00" || start.substr(11) >= "22:00:00";
        EXPECT_GE(run.id.startEpoch, lastStart);
        lastStart = run.id.startEpoch;
        auto [it, first] = boards.try_emplace(run.id.chipId);
        Board& b = it->second;
        if (first) {
            b.firstPass = run.pass;
            int s = run.id.host == drifting ? 0 : run.id.host == steady ? 1 : -1;
            if (s >= 0) {
                ++firsts[s][i / kQuarter];
                driftFails[s][i / kQuarter] += !run.pass && run.failingLog == 3;
            }
        } else {
            ++retests;
            sameStation += run.id.host == b.lastHost;
        }
        b.lastPass = run.pass;
        b.lastHost = run.id.host;
    }
    long long firstPass = 0, finalPass = 0, n = static_cast<long long>(boards.size());
    for (const auto& [id, b] : boards) {
        firstPass += b.firstPass;
        finalPass += b.lastPass;
    }
    EXPECT_NEAR(100.0 * firstPass / n, 93.0, 1.0);
    EXPECT_NEAR(100.0 * finalPass / n, 98.0, 0.5);
    EXPECT_NEAR(100.0 * retests / n, 8.0, 2.0);  // retests per hundred boards
    EXPECT_EQ(sameStation, 0);
    EXPECT_EQ(badHours, 0);
    EXPECT_EQ(UtcTime(lastStart).substr(0, 10), "2026-01-05");  // a year from 2025-01-06
    auto rate = [&](int s, int q) { return 100.0 * driftFails[s][q] / firsts[s][q]; };
    EXPECT_LT(rate(0, 0), 4.0);
    EXPECT_GT(rate(0, 3), 9.0);
    EXPECT_LT(rate(1, 3), 4.0);
}
