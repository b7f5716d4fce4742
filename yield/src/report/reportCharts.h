// The HTML report's inline SVG charts, each with its axes, units and values written beside its
// marks: yield per day (or ISO week) against the target, the failure Pareto, the fixture heat map
// with its legend, and one histogram per analogue input with its limit lines.
#pragma once

#include <ostream>
#include <vector>

#include "report/reportModel.h"

namespace yield {

// The yield the yield chart draws its target line at.
constexpr double kYieldTarget = 0.95;
// The heat map's rows at most; the tables below it keep every host.
constexpr size_t kHeatMapHosts = 200;
// Host and port names on the charts are cut to this many characters (the whole name in a title).
constexpr size_t kChartLabelChars = 20;

void WriteYieldChart(std::ostream& out, const std::vector<DayRow>& days);
void WriteParetoChart(std::ostream& out, const std::vector<ParetoRow>& rows);
void WriteHeatMap(std::ostream& out, const ReportModel& m);
void WriteHistogram(std::ostream& out, const AnalogueStats& a);

}  // namespace yield
