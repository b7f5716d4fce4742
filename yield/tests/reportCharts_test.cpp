// The charts a line reads: a heat map of bounded width however many ports failed, the day chart's
// first-pass bars against the line's target, out-of-limits histogram bars marked.
#include "report/reportCharts.h"

#include <gtest/gtest.h>

#include <sstream>

namespace yield {
namespace {

// The number in `attr="..."` of the first `<svg` in `svg`.
double SvgNumber(const std::string& svg, const std::string& attr) {
    size_t at = svg.find(attr + "=\"", svg.find("<svg"));
    return at == std::string::npos ? -1 : std::stod(svg.substr(at + attr.size() + 2));
}

TEST(ReportCharts, HeatMapWidthIsBoundedWhateverTheFailingPorts) {
    ReportBuilder b(RunFilter{});
    RunSummary r;
    r.chipId = "0x1";
    r.host = "fixture-a";
    r.day = "2026-12-07";
    r.verdict = Verdict::Err;
    for (int i = 1; i <= 120; ++i) r.ports.push_back({"DI", i, false, false});
    r.ports.push_back({"USB", 1, false, false});
    b.AddRun(r);
    std::ostringstream out;
    WriteHeatMap(out, b.Finish());
    double width = SvgNumber(out.str(), "width");
    EXPECT_GT(width, 0);
    EXPECT_LE(width, 150 + 34.0 * kHeatMapColumns + 250);
    EXPECT_NE(out.str().find("one column per family"), std::string::npos);
}

TEST(ReportCharts, DayChartDrawsFirstPassAgainstTheLinesTarget) {
    DayRow d;
    d.day = "2026-12-07";
    d.runs = 10;
    d.passed = 10;  // every run passed at last ...
    d.yield = 1;
    d.boards = 4;  // ... but half the boards failed first
    d.firstPassed = 2;
    d.firstPassYield = 0.5;
    std::ostringstream out;
    WriteYieldChart(out, {d}, 0.9);
    EXPECT_NE(out.str().find("data-value=\"0.5000\""), std::string::npos);
    EXPECT_NE(out.str().find("target 90.0%"), std::string::npos);
}

TEST(ReportCharts, OutOfLimitsHistogramBarsAreMarked) {
    AnalogueStats a;
    a.input = "AI1";
    a.count = 3;
    a.histogram = {{160, 2}, {175, 1}};
    std::ostringstream out;
    WriteHistogram(out, a);
    const std::string svg = out.str();
    size_t outside = svg.find("class=\"bar out-of-limits\" data-value=\"1.75\"");
    EXPECT_NE(outside, std::string::npos);
    EXPECT_EQ(svg.find("class=\"bar out-of-limits\" data-value=\"1.60\""), std::string::npos);
    EXPECT_NE(svg.find("class=\"hatch\""), std::string::npos);
}

}  // namespace
}  // namespace yield
