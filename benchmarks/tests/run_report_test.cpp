#include "run_report.h"

#include <gtest/gtest.h>

namespace devbench {
namespace {
using nlohmann::json;

json Record(double durationMs) {
    return {{"duration_ms", durationMs},
            {"log", "0=[RtLog][2021-11-05 11:51:23] Err Get Port Info!!!\tdevuzeV7 main line=1\n"},
            {"timeline", json::array()},
            {"exit", {{"code", 255}}},
            {"verdict", nullptr}};
}

json Usage(long hwmKb, double cpuMs) {
    return {{"vm_hwm_kb", hwmKb}, {"cpu_ms", {{"total", cpuMs}}}};
}

TEST(RunReport, PrefersTheRecordsOwnUsageOverTheWatcher) {
    json record = Record(7600);
    record["tool_usage"] = Usage(2000, 50);
    RunFigures figures = Summarize({"Cnt=1", record, Usage(9999, 9999)});
    EXPECT_EQ(figures.hwmKb, 2000);
    EXPECT_EQ(figures.cpuMs, 50);
    EXPECT_NE(figures.usageSource.find("record"), std::string::npos);
    EXPECT_EQ(figures.exitCode, 255);
    EXPECT_EQ(figures.floor.totalMs, 7500);
}

TEST(RunReport, FallsBackToTheWatcherAndThenToUnknown) {
    RunFigures watched = Summarize({"Cnt=1", Record(7600), Usage(3000, 100)});
    EXPECT_EQ(watched.hwmKb, 3000);
    RunFigures unknown = Summarize({"Cnt=1", Record(7600), json()});
    EXPECT_EQ(unknown.hwmKb, -1);
    EXPECT_EQ(unknown.cpuMs, -1);
}

TEST(RunReport, TableJudgesEachGoal) {
    RunFigures good = Summarize({"good", Record(7600), Usage(3000, 100)});
    RunFigures bad = Summarize({"bad", Record(8000), Usage(5000, 500)});
    std::string table = FormatRuns({good, bad}, 1800);
    std::string goodLine =
        table.substr(table.find("good"), table.find('\n', table.find("good")) - table.find("good"));
    std::string badLine =
        table.substr(table.find("bad "), table.find('\n', table.find("bad ")) - table.find("bad "));
    EXPECT_EQ(goodLine.find("MISSED"), std::string::npos) << goodLine;
    EXPECT_NE(goodLine.find("1.0133"), std::string::npos) << goodLine;
    EXPECT_NE(badLine.find("1.0667 MISSED"), std::string::npos) << badLine;
    EXPECT_NE(badLine.find("6.25% MISSED"), std::string::npos) << badLine;
    EXPECT_NE(badLine.find("4.88 MiB MISSED"), std::string::npos) << badLine;
    EXPECT_NE(table.find("VmHWM 1.76 MiB"), std::string::npos);
    EXPECT_NE(table.find("Floor of good"), std::string::npos);
}

}  // namespace
}  // namespace devbench
