// The screen's JSON as a writer of the report model: the report's keys and headings, the columns
// in the order people see them, and rows with exactly the members the page reads.
#include "report/screenJson.h"

#include <gtest/gtest.h>

#include <set>

using namespace yield;
using nlohmann::json;

namespace {

std::set<std::string> Members(const json& row) {
    std::set<std::string> out;
    for (const auto& [key, value] : row.items()) out.insert(key);
    return out;
}

ReportModel Model() {
    ReportModel m;
    m.filter.since = m.filter.until = "2026-12-07";
    m.stations.push_back(StationRow{"s1", 3, 2, 1, 2, 1, 0.5, 1.0});
    m.hours.push_back(HourRow{"s1", 8, 2, 1, 2, 0.5, 1.0});
    m.repairs.push_back(RepairRow{"0xAB", "s1", "2026_12_07_08_00_00", kRepairFailed, "DI-5", 7});
    m.latest.push_back(LatestRun{7, "0xAB", "h1", "s1", "2026_12_07_08_00_00", "ERR", "DI-5"});
    m.fixture =
        FixtureView({"s1"}, {"DI-5", "DI-6"}, {{0, 0, 4, 4}, {0, 1, 4, 0}}, {{8, 4}, {8, 0}});
    return m;
}

}  // namespace

TEST(ScreenJson, ColumnsComeFromTheReportTables) {
    json j = ScreenJson(Model());
    const json& stations = j["columns"]["stations"];
    ASSERT_EQ(stations.size(), 5u);
    EXPECT_EQ(stations[0], json({{"key", "station"}, {"heading", "station"}, {"kind", "text"}}));
    EXPECT_EQ(stations[3]["key"], "first_pass_yield");
    EXPECT_EQ(stations[3]["heading"], "first pass yield");  // as the HTML report heads it
    EXPECT_EQ(stations[3]["kind"], "ratio");
    EXPECT_EQ(j["columns"]["hours"][1]["kind"], "integer");
    EXPECT_EQ(j["columns"]["repairs"][0]["heading"], "processor ID");
    EXPECT_EQ(j["columns"]["flags"][2]["heading"], "runs");  // not in the HTML report: its key
    for (const json& c : j["columns"]["latest"]) EXPECT_NE(c["key"], "id");
    EXPECT_EQ(j["columns"].size(), 5u);
}

TEST(ScreenJson, RowsKeepTheScreensMembers) {
    json j = ScreenJson(Model());
    EXPECT_EQ(j["day"], "2026-12-07");
    using Keys = std::set<std::string>;
    EXPECT_EQ(Members(j["summary"]), Keys({"boards", "final_yield", "first_pass_yield", "runs"}));
    EXPECT_EQ(Members(j["stations"][0]),
              Keys({"boards", "final_yield", "first_pass_yield", "runs", "station"}));
    EXPECT_EQ(Members(j["hours"][0]),
              Keys({"boards", "final_yield", "first_pass_yield", "hour", "station"}));
    EXPECT_EQ(Members(j["repairs"][0]),
              Keys({"chip_id", "failures", "queue_seconds", "start_stamp", "station", "status"}));
    EXPECT_EQ(Members(j["latest"][0]),
              Keys({"chip_id", "failing", "host", "id", "start_stamp", "station", "verdict"}));
    EXPECT_EQ(j["latest"][0]["id"], 7);
    EXPECT_EQ(j["hours"][0]["hour"], 8);
    ASSERT_EQ(j["flags"].size(), 1u);  // DI-5 only: DI-6 never failed
    EXPECT_EQ(Members(j["flags"][0]),
              Keys({"failures", "others_rate", "port", "rate", "runs", "station"}));
    EXPECT_DOUBLE_EQ(j["flags"][0]["rate"].get<double>(), 1.0);
}

// The wall: tiles coloured against the line's target, the line's stations first, each with its
// last logs in local time with the offset, and an empty day without a yield.
TEST(ScreenJson, WallTilesAreColouredAgainstTheTargetAndNameTheExpectedStations) {
    EXPECT_STREQ(YieldBand(0.95, 10, 0.95), kBandGood);
    EXPECT_STREQ(YieldBand(0.9, 10, 0.95), kBandWarn);
    EXPECT_STREQ(YieldBand(0.89, 10, 0.95), kBandBad);
    EXPECT_STREQ(YieldBand(0, 0, 0.95), kBandNone);

    ReportModel m = Model();  // s1: 2 boards, 50 % first pass
    WallSettings s;
    s.target = 0.5;
    s.stations = {"quiet-one", "s1"};
    const long long at = 1796639400;  // 2026-12-07T10:30:00Z
    json wall = WallJson(m, s, {{"s1", at * 1000000000}, {"elsewhere", 0}}, at);
    ASSERT_EQ(wall["stations"].size(), 2u);  // a station seen but not the line's is left out
    EXPECT_EQ(wall["stations"][0]["station"], "quiet-one");
    EXPECT_EQ(wall["stations"][0]["band"], kBandNone);
    EXPECT_TRUE(wall["stations"][0]["last_upload"].is_null());
    EXPECT_EQ(wall["stations"][1]["band"], kBandGood);
    EXPECT_EQ(wall["stations"][1]["first_pass"], "50.0%");
    EXPECT_EQ(wall["stations"][1]["last_upload"], LocalIsoTime(at));
    EXPECT_EQ(wall["now"].get<std::string>().substr(0, 10).size(), 10u);
    EXPECT_NE(LocalIsoTime(at).find_last_of("+-"), std::string::npos);

    s.stations.clear();  // without a list: the stations seen, by name
    wall = WallJson(ReportModel{}, s, {{"b", 0}, {"a", 0}}, at);
    EXPECT_EQ(wall["stations"][0]["station"], "a");
    EXPECT_EQ(wall["stations"][0]["expected"], true);
    EXPECT_TRUE(wall["line"]["first_pass"].is_null());  // an empty day has no yield
    EXPECT_EQ(wall["line"]["band"], kBandNone);
    EXPECT_EQ(SeenSince("2026-12-08"), "2026-12-02");
}

// The screen lists the first kScreenRows stations, the hours of those only, and counts them all.
TEST(ScreenJson, LongListsSendTheirHeadAndTheirCount) {
    ReportModel m = Model();
    for (size_t i = 0; i < kScreenRows; ++i) {
        std::string name = "t" + std::to_string(100 + i);
        m.stations.push_back(StationRow{name, 1, 1});
        m.hours.push_back(HourRow{name, 9, 1});
    }
    json j = ScreenJson(m);
    EXPECT_EQ(j["stations"].size(), kScreenRows);
    EXPECT_EQ(j["stations_total"], kScreenRows + 1);
    EXPECT_EQ(j["hours"].size(), kScreenRows);
    EXPECT_EQ(j["hours"].back()["station"], "t198");
    EXPECT_EQ(j["flags_total"], 1);
    EXPECT_EQ(j["repairs_total"], 1);
}
