// The HTML report's inline SVG charts, each with its axes, units and values written beside its
// marks: first-pass yield per day (or ISO week) and per station against the line's target, the
// failure causes' Pareto, the fixture heat map with its legend, and one histogram per analogue
// input with its limit lines.
#pragma once

#include <ostream>
#include <vector>

#include "report/reportModel.h"

namespace yield {

// The heat map's rows at most; the tables below it keep every host.
constexpr size_t kHeatMapHosts = 200;
// The heat map's columns at most (ports that failed, else their families), so that its width is
// bounded whatever the number of ports.
constexpr size_t kHeatMapColumns = 30;
// The Pareto's causes at most; the rest are summed in one row.
constexpr size_t kParetoCauses = 25;
// The station chart's rows at most (the stations with the most boards).
constexpr size_t kChartStations = 50;
// Host and port names on the charts are cut to this many characters (the whole name in a title).
constexpr size_t kChartLabelChars = 20;

// First-pass yield per day (or ISO week) against the line's target `target` (0 to 1).
void WriteYieldChart(std::ostream& out, const std::vector<DayRow>& days, double target);
// First-pass yield per station against the line's target.
void WriteStationChart(std::ostream& out, const std::vector<StationRow>& stations, double target);
// Boards per failure cause, most first, with the cumulative share as a line.
void WriteParetoChart(std::ostream& out, const std::vector<CauseRow>& causes);
void WriteHeatMap(std::ostream& out, const ReportModel& m);
// Readings per bin, the bins beyond the limits marked out of limits (colour, hatching, title).
void WriteHistogram(std::ostream& out, const AnalogueStats& a);

}  // namespace yield
