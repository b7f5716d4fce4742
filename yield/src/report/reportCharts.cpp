#include "report/reportCharts.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

#include "report/chartScale.h"
#include "report/escape.h"
#include "report/reportTables.h"

namespace yield {
namespace {

constexpr char kAxisColour[] = "#444";
constexpr char kGridColour[] = "#ddd";
// A yield against the target: at or above it, within kTargetBand below it, further below.
constexpr char kGoodColour[] = "#4a8";
constexpr char kWarnColour[] = "#e0a000";
constexpr char kBadColour[] = "#c54";
constexpr char kTargetColour[] = "#06c";
constexpr char kParetoBarColour[] = "#c54";
constexpr char kCumulativeColour[] = "#06c";
constexpr char kOutOfLimitsColour[] = "#d33";
constexpr char kHistogramBarColour[] = "#48c";
constexpr char kLimitColour[] = "#c00";
constexpr char kWhite[] = "#fff";
constexpr char kNoRunsStroke[] = "#bbb";
// Colour of each failure rate class: no failures green, then lighter to darker red.
constexpr const char* kRateColours[kFailureRateClasses] = {"#bfe3bf", "#fdd0c8", "#f59a8a",
                                                           "#e0533f", "#a8200f"};
constexpr int kRateClassDarkFrom = 3;  // classes from here take white text

constexpr char kYieldCaptionDays[] = "First-pass yield of the boards first tested each day";
constexpr char kYieldCaptionWeeks[] =
    "First-pass yield of the boards first tested each ISO week: the days span ";
constexpr char kYieldCaptionMonths[] =
    "First-pass yield of the boards first tested each month: the days span ";
constexpr char kDaysWord[] = " days";
constexpr char kLatestWord[] = "; the latest ";
constexpr char kShownWord[] = " shown, ";
constexpr char kEarlierWord[] = " earlier left out (every day: the JSON or CSV report)";
constexpr char kDayPeriods[] = "days";
constexpr char kWeekPeriods[] = "weeks";
constexpr char kMonthPeriods[] = "months";
constexpr char kYieldAxis[] = "first pass (%)";
constexpr char kBoardsAxis[] = "boards";
constexpr char kDayAxis[] = "day";
constexpr char kWeekAxis[] = "ISO week";
constexpr char kMonthAxis[] = "month";
constexpr char kTargetWord[] = "target ";
constexpr char kNoYield[] = "n/a";
constexpr char kOfWord[] = " of ";
constexpr char kFirstPassWord[] = " first pass";
constexpr char kBoardsWord[] = " boards";
constexpr char kFinalWord[] = "; final ";
constexpr char kRunYieldWord[] = "; run yield ";
constexpr char kCompleteRunsWord[] = " complete runs";

constexpr char kStationCaption[] = "First-pass yield per station against the line's target";

constexpr char kOtherCauses[] = "other causes";

constexpr char kParetoCaption[] =
    "Boards per failure cause, each board once per cause (share, cumulative share: the line)";
constexpr char kParetoAxis[] = "boards";
constexpr char kCumulativeAxis[] = "cumulative share";
constexpr char kNoFailures[] = "No board failed.";
constexpr char kCumulativeWord[] = ", cum. ";

constexpr char kHeatCaption[] = "Failure rate per fixture and port; each cell: failures/runs";
constexpr char kFixtureAxis[] = "fixture";
constexpr char kPortAxis[] = "port";
constexpr char kLegendTitle[] = "failure rate";
constexpr char kLegendNoRuns[] = "no runs (blank)";
constexpr char kLegendNoFailures[] = "0 failures";
constexpr char kLegendUpTo[] = "up to ";
constexpr char kLegendOver[] = "over ";
constexpr char kLegendFlagged[] = "flagged: apart from the others";
constexpr char kFlaggedWord[] = " (flagged)";
constexpr char kNoFixtureRuns[] = "No runs.";
constexpr char kHeatMapShows[] = "The heat map shows ";
constexpr char kHeatMapHostsWord[] = " stations (most flags, then most failures, first); ";
constexpr char kHeatMapLeftOut[] = " left out.";
constexpr char kHeatPortsShown[] = "The heat map shows the ports that failed anywhere";
constexpr char kHeatFolded[] = ", one column per family (too many ports for one each)";
constexpr char kHeatHidden[] = "; ports that never failed: ";
constexpr char kHeatColumnsLeftOut[] = "; columns with the fewest failures left out: ";

constexpr char kHistogramCaption[] =
    "Readings per 0.01 V; dashed red: the limits; hatched red: out of limits";
constexpr char kOutOfLimitsWord[] = " (out of limits)";
constexpr char kHatchPrefix[] = "out-of-limits-";
constexpr char kReadingsAxis[] = "readings";
constexpr char kVoltAxis[] = "reading (V)";
constexpr char kVoltUnit[] = " V";
constexpr char kLowLimitWord[] = "low limit ";
constexpr char kHighLimitWord[] = "high limit ";
constexpr char kAtMostWord[] = "at most ";
constexpr char kAtLeastWord[] = "at least ";
constexpr char kReadingsWord[] = " readings";

constexpr char kAnchorEnd[] = "end";
constexpr char kAnchorMiddle[] = "middle";
constexpr char kDashes[] = "4 2";
constexpr int kSmallFont = 10;
constexpr int kCellFont = 9;

std::string H(const std::string& s) { return HtmlEscape(XmlSafe(s)); }

// A pixel position as SVG takes it: at most one decimal, none when whole.
std::string Px(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", v);
    std::string s = text;
    if (s.size() > 2 && s.compare(s.size() - 2, 2, ".0") == 0) s.resize(s.size() - 2);
    return s == "-0" ? "0" : s;
}

// One SVG element: its attributes in the order given, values escaped.
class El {
public:
    explicit El(const char* name) : name_(name) {}
    El& At(const char* key, double px) { return Raw(key, Px(px)); }
    El& At(const char* key, const std::string& value) { return Raw(key, H(value)); }
    El& At(const char* key, const char* value) { return Raw(key, H(value)); }
    El& Rotate(double degrees, double x, double y) {
        return Raw("transform", "rotate(" + Px(degrees) + " " + Px(x) + " " + Px(y) + ")");
    }
    void Empty(std::ostream& out) const { out << "<" << name_ << attrs_ << "/>\n"; }
    // The element with a tooltip title and then its text.
    void With(std::ostream& out, const std::string& title, const std::string& text = "") const {
        out << "<" << name_ << attrs_ << ">";
        if (!title.empty()) out << "<title>" << H(title) << "</title>";
        out << H(text) << "</" << name_ << ">\n";
    }

private:
    El& Raw(const char* key, const std::string& value) {
        attrs_ += std::string(" ") + key + "=\"" + value + "\"";
        return *this;
    }
    const char* name_;
    std::string attrs_;
};

El Text(double x, double y) { return El("text").At("x", x).At("y", y); }

void Label(std::ostream& out, double x, double y, const std::string& text,
           const char* anchor = nullptr, int font = 0) {
    El t = Text(x, y);
    if (anchor != nullptr) t.At("text-anchor", anchor);
    if (font > 0) t.At("font-size", font);
    t.With(out, "", text);
}

// A name cut to `chars` characters, the whole name in its title.
void NameLabel(std::ostream& out, const El& t, const std::string& name, size_t chars) {
    t.With(out, name, ShortLabel(name, chars));
}

void Line(std::ostream& out, double x1, double y1, double x2, double y2, const char* colour,
          const char* cls = nullptr, const char* dashes = nullptr) {
    El l("line");
    if (cls != nullptr) l.At("class", cls);
    l.At("x1", x1).At("y1", y1).At("x2", x2).At("y2", y2).At("stroke", colour);
    if (dashes != nullptr) l.At("stroke-dasharray", dashes);
    l.Empty(out);
}

void OpenSvg(std::ostream& out, const char* attrs, double w, double h, const std::string& label) {
    out << "<svg " << attrs << " width=\"" << Px(w) << "\" height=\"" << Px(h)
        << "\" role=\"img\" aria-label=\"" << H(label) << "\">\n";
}

std::string Count(long long n) { return std::to_string(n); }

// A yield's colour against the target.
const char* BandColour(double yield, double target) {
    if (yield >= target) return kGoodColour;
    return yield >= target - kTargetBand ? kWarnColour : kBadColour;
}

// ---- first-pass yield per day or week ----

struct YieldLayout {
    static constexpr double kLeft = 64, kTop = 34, kPlotH = 160, kBarW = 48, kBarGap = 12;
    static constexpr double kRight = 110, kBottom = 96, kValueInsideFrom = 18;
    static constexpr int kPercentStep = 25;
};

void TargetLine(std::ostream& out, double x1, double y1, double x2, double y2) {
    Line(out, x1, y1, x2, y2, kTargetColour, "target", kDashes);
}

const char* PeriodAxis(const ChartPeriods& p) {
    return p.monthly ? kMonthAxis : p.weekly ? kWeekAxis : kDayAxis;
}

std::string YieldCaption(const ChartPeriods& p) {
    std::string caption = kYieldCaptionDays;
    if (p.weekly || p.monthly)
        caption =
            (p.monthly ? kYieldCaptionMonths : kYieldCaptionWeeks) + Count(p.spanDays) + kDaysWord;
    if (p.earlier > 0) {
        const char* periods = p.monthly ? kMonthPeriods : p.weekly ? kWeekPeriods : kDayPeriods;
        caption += kLatestWord + Count(static_cast<long long>(p.rows.size())) + " " + periods +
                   kShownWord + Count(static_cast<long long>(p.earlier)) + kEarlierWord;
    }
    return caption;
}

void YieldAxes(std::ostream& out, double plotW, const char* axis, const LinearScale& y,
               double target) {
    using L = YieldLayout;
    double base = L::kTop + L::kPlotH, right = L::kLeft + plotW;
    for (int p = 0; p <= 100; p += L::kPercentStep) {
        Line(out, L::kLeft, y(p / 100.0), right, y(p / 100.0), kGridColour);
        Label(out, L::kLeft - 6, y(p / 100.0) + 4, std::to_string(p) + "%", kAnchorEnd);
    }
    Line(out, L::kLeft, L::kTop, L::kLeft, base, kAxisColour);
    Line(out, L::kLeft, base, right, base, kAxisColour);
    Text(14, L::kTop + L::kPlotH / 2)
        .At("text-anchor", kAnchorMiddle)
        .Rotate(-90, 14, L::kTop + L::kPlotH / 2)
        .With(out, "", kYieldAxis);
    Label(out, L::kLeft - 6, base + 14, kBoardsAxis, kAnchorEnd, kSmallFont);
    Label(out, L::kLeft + plotW / 2, base + L::kBottom - 6, axis, kAnchorMiddle);
    TargetLine(out, L::kLeft, y(target), right, y(target));
    Label(out, right + 4, y(target) + 4, kTargetWord + Percent(target));
}

std::string DayTitle(const DayRow& d) {
    return d.day + ": " + Percent(d.firstPassYield) + kFirstPassWord + kOfWord + Count(d.boards) +
           kBoardsWord + kFinalWord + Percent(d.finalYield) + kRunYieldWord + Percent(d.yield) +
           kOfWord + Count(d.runs) + kCompleteRunsWord;
}

void YieldBar(std::ostream& out, const DayRow& d, double x, const LinearScale& y, double target) {
    using L = YieldLayout;
    double base = L::kTop + L::kPlotH, cx = x + L::kBarW / 2;
    double top = y(d.firstPassYield);
    El("rect")
        .At("class", "bar")
        .At("data-value", Fixed(d.firstPassYield, 4))
        .At("x", x + L::kBarGap / 2)
        .At("y", top)
        .At("width", L::kBarW - L::kBarGap)
        .At("height", base - top)
        .At("fill", BandColour(d.firstPassYield, target))
        .With(out, DayTitle(d));
    // Inside a bar tall enough, clear of the target line just above most bars.
    bool inside = base - top >= L::kValueInsideFrom;
    El value = Text(cx, inside ? top + 13 : top - 4);
    value.At("text-anchor", kAnchorMiddle).At("font-size", kSmallFont);
    if (inside) value.At("fill", kWhite);
    value.With(out, "", d.boards > 0 ? Percent(d.firstPassYield) : kNoYield);
    Label(out, cx, base + 14, Count(d.boards), kAnchorMiddle, kSmallFont);
    Text(cx + 4, base + 28)
        .At("text-anchor", kAnchorEnd)
        .Rotate(-45, cx + 4, base + 28)
        .With(out, "", d.day);
}

}  // namespace

void WriteYieldChart(std::ostream& out, const std::vector<DayRow>& days, double target) {
    using L = YieldLayout;
    ChartPeriods periods = YieldPeriods(days);
    double plotW = L::kBarW * static_cast<double>(std::max<size_t>(periods.rows.size(), 1));
    std::string caption = YieldCaption(periods);
    OpenSvg(out, "id=\"chart-days\"", FitCaption(L::kLeft + plotW + L::kRight, L::kLeft, caption),
            L::kTop + L::kPlotH + L::kBottom, caption);
    Label(out, L::kLeft, 16, caption);
    LinearScale y(0, 1, L::kTop + L::kPlotH, L::kTop);
    YieldAxes(out, plotW, PeriodAxis(periods), y, target);
    for (size_t i = 0; i < periods.rows.size(); ++i)
        YieldBar(out, periods.rows[i], L::kLeft + L::kBarW * static_cast<double>(i), y, target);
    out << "</svg>\n";
}

// ---- first-pass yield per station ----

namespace {

struct RowsLayout {
    static constexpr double kLabelW = 150, kTop = 44, kRowH = 20, kPlotW = 400;
    static constexpr double kRight = 230, kBottom = 40;
};

// The stations with boards, the most boards first, at most kChartStations.
std::vector<const StationRow*> ChartStations(const std::vector<StationRow>& stations) {
    std::vector<const StationRow*> rows;
    for (const StationRow& s : stations)
        if (s.boards > 0) rows.push_back(&s);
    std::stable_sort(rows.begin(), rows.end(), [](const StationRow* a, const StationRow* b) {
        return a->boards > b->boards;
    });
    rows.resize(std::min(rows.size(), kChartStations));
    return rows;
}

void StationBar(std::ostream& out, const StationRow& s, double y, const LinearScale& x,
                double target) {
    using L = RowsLayout;
    NameLabel(out, Text(L::kLabelW - 6, y + 14).At("text-anchor", kAnchorEnd), s.station,
              kChartLabelChars);
    std::string figures = Percent(s.firstPassYield) + kOfWord + Count(s.boards) + kBoardsWord;
    El("rect")
        .At("class", "bar")
        .At("data-value", Fixed(s.firstPassYield, 4))
        .At("x", L::kLabelW)
        .At("y", y + 3)
        .At("width", x(s.firstPassYield) - L::kLabelW)
        .At("height", L::kRowH - 6)
        .At("fill", BandColour(s.firstPassYield, target))
        .With(out, s.station + ": " + figures + kFinalWord + Percent(s.finalYield));
    Label(out, L::kLabelW + L::kPlotW + 6, y + 14, figures);
}

}  // namespace

void WriteStationChart(std::ostream& out, const std::vector<StationRow>& stations, double target) {
    using L = RowsLayout;
    std::vector<const StationRow*> rows = ChartStations(stations);
    double base = L::kTop + L::kRowH * static_cast<double>(std::max<size_t>(rows.size(), 1));
    OpenSvg(out, "id=\"chart-stations\"",
            FitCaption(L::kLabelW + L::kPlotW + L::kRight, 4, kStationCaption), base + L::kBottom,
            kStationCaption);
    Label(out, 4, 16, kStationCaption);
    LinearScale x(0, 1, L::kLabelW, L::kLabelW + L::kPlotW);
    for (int p = 0; p <= 100; p += YieldLayout::kPercentStep) {
        Line(out, x(p / 100.0), L::kTop, x(p / 100.0), base, kGridColour);
        Label(out, x(p / 100.0), base + 14, std::to_string(p) + "%", kAnchorMiddle);
    }
    Line(out, L::kLabelW, L::kTop, L::kLabelW, base, kAxisColour);
    Label(out, L::kLabelW + L::kPlotW / 2, base + 32, kYieldAxis, kAnchorMiddle);
    if (rows.empty()) Label(out, L::kLabelW + 8, L::kTop + 14, kNoYield);
    for (size_t i = 0; i < rows.size(); ++i)
        StationBar(out, *rows[i], L::kTop + L::kRowH * static_cast<double>(i), x, target);
    TargetLine(out, x(target), L::kTop - 8, x(target), base);
    Label(out, x(target), L::kTop - 12, kTargetWord + Percent(target), kAnchorMiddle);
    out << "</svg>\n";
}

// ---- failure causes' Pareto ----

namespace {

struct ParetoLayout {
    static constexpr double kLabelW = 190, kTop = 52, kRowH = 20, kPlotW = 400;
    static constexpr double kRight = 200, kBottom = 40;
    static constexpr size_t kLabelChars = 28;
    static constexpr int kTicks = 5;
};

// The causes shown: the first kParetoCauses, then the rest summed in one row.
std::vector<CauseRow> ParetoRows(const std::vector<CauseRow>& causes) {
    if (causes.size() <= kParetoCauses) return causes;
    std::vector<CauseRow> rows(causes.begin(), causes.begin() + kParetoCauses);
    CauseRow rest{kOtherCauses + std::string(" (") +
                  Count(static_cast<long long>(causes.size() - kParetoCauses)) + ")"};
    for (size_t i = kParetoCauses; i < causes.size(); ++i) {
        rest.boards += causes[i].boards;
        rest.share += causes[i].share;
    }
    rest.cumulative = causes.back().cumulative;
    rows.push_back(rest);
    return rows;
}

void ParetoAxes(std::ostream& out, const std::vector<long long>& ticks, const LinearScale& x,
                const LinearScale& share, double base) {
    using L = ParetoLayout;
    for (long long t : ticks) {
        Line(out, x(static_cast<double>(t)), L::kTop, x(static_cast<double>(t)), base, kGridColour);
        Label(out, x(static_cast<double>(t)), base + 14, Count(t), kAnchorMiddle);
    }
    Line(out, L::kLabelW, L::kTop, L::kLabelW, base, kAxisColour);
    Line(out, L::kLabelW, base, L::kLabelW + L::kPlotW, base, kAxisColour);
    Label(out, L::kLabelW + L::kPlotW / 2, base + 32, kParetoAxis, kAnchorMiddle);
    // The cumulative share's axis along the top.
    Line(out, L::kLabelW, L::kTop, L::kLabelW + L::kPlotW, L::kTop, kCumulativeColour);
    for (int p = 0; p <= 100; p += YieldLayout::kPercentStep)
        Label(out, share(p / 100.0), L::kTop - 4, std::to_string(p) + "%", kAnchorMiddle,
              kSmallFont);
    Text(L::kLabelW + L::kPlotW / 2, L::kTop - 18)
        .At("text-anchor", kAnchorMiddle)
        .At("fill", kCumulativeColour)
        .With(out, "", kCumulativeAxis);
}

void CumulativeLine(std::ostream& out, const std::vector<CauseRow>& rows,
                    const LinearScale& share) {
    using L = ParetoLayout;
    std::string points;
    for (size_t i = 0; i < rows.size(); ++i) {
        double y = L::kTop + L::kRowH * (static_cast<double>(i) + 0.5);
        points += (points.empty() ? "" : " ") + Px(share(rows[i].cumulative)) + "," + Px(y);
    }
    El("polyline")
        .At("class", "cumulative")
        .At("fill", "none")
        .At("stroke", kCumulativeColour)
        .At("stroke-width", 2)
        .At("points", points)
        .Empty(out);
    for (size_t i = 0; i < rows.size(); ++i) {
        double y = L::kTop + L::kRowH * (static_cast<double>(i) + 0.5);
        El("circle")
            .At("cx", share(rows[i].cumulative))
            .At("cy", y)
            .At("r", 3)
            .At("fill", kCumulativeColour)
            .With(out, rows[i].cause + kCumulativeWord + Percent(rows[i].cumulative));
    }
}

}  // namespace

void WriteParetoChart(std::ostream& out, const std::vector<CauseRow>& causes) {
    using L = ParetoLayout;
    std::vector<CauseRow> rows = ParetoRows(causes);
    long long most = 0;
    for (const CauseRow& r : rows) most = std::max(most, r.boards);
    std::vector<long long> ticks = CountTicks(most, L::kTicks);
    double base = L::kTop + L::kRowH * static_cast<double>(std::max<size_t>(rows.size(), 1));
    OpenSvg(out, "id=\"chart-pareto\"",
            FitCaption(L::kLabelW + L::kPlotW + L::kRight, 4, kParetoCaption), base + L::kBottom,
            kParetoCaption);
    Label(out, 4, 16, kParetoCaption);
    LinearScale x(0, static_cast<double>(ticks.back()), L::kLabelW, L::kLabelW + L::kPlotW);
    LinearScale share(0, 1, L::kLabelW, L::kLabelW + L::kPlotW);
    ParetoAxes(out, ticks, x, share, base);
    if (rows.empty()) Label(out, L::kLabelW + 8, L::kTop + 14, kNoFailures);
    for (size_t i = 0; i < rows.size(); ++i) {
        const CauseRow& r = rows[i];
        double y = L::kTop + L::kRowH * static_cast<double>(i);
        NameLabel(out, Text(L::kLabelW - 6, y + 14).At("text-anchor", kAnchorEnd), r.cause,
                  L::kLabelChars);
        double end = x(static_cast<double>(r.boards));
        El("rect")
            .At("class", "bar")
            .At("data-value", Count(r.boards))
            .At("x", L::kLabelW)
            .At("y", y + 3)
            .At("width", end - L::kLabelW)
            .At("height", L::kRowH - 6)
            .At("fill", kParetoBarColour)
            .With(out, r.cause + ": " + Count(r.boards) + " " + kParetoAxis);
        Label(out, L::kLabelW + L::kPlotW + 6, y + 14,
              Count(r.boards) + " (" + Percent(r.share) + kCumulativeWord + Percent(r.cumulative) +
                  ")");
    }
    if (!rows.empty()) CumulativeLine(out, rows, share);
    out << "</svg>\n";
}

// ---- fixture heat map ----

namespace {

struct HeatLayout {
    static constexpr double kLeft = 150, kTop = 100, kCell = 34, kLegendGap = 24;
    static constexpr double kLegendW = 220, kSwatch = 14, kLegendRowH = 20;
    static constexpr size_t kPortChars = 12;
};

// A host's cells in the fixture view, and what puts it ahead in the heat map.
struct HeatRow {
    uint32_t host = 0;
    size_t first = 0, end = 0;  // its cells
    long long flagged = 0, failures = 0;
};

// The kHeatMapHosts hosts with the most flagged cells, then the most failures, then by name.
std::vector<HeatRow> HeatRows(const ReportModel& m) {
    std::vector<HeatRow> rows;
    for (size_t i = 0; i < m.fixture.size(); ++i) {
        const FixtureView::Entry& e = m.fixture.entry(i);
        if (rows.empty() || rows.back().host != e.host) rows.push_back(HeatRow{e.host, i, i, 0, 0});
        HeatRow& r = rows.back();
        r.end = i + 1;
        r.failures += e.failures;
    }
    for (HeatRow& r : rows) {
        for (size_t i = r.first; i < r.end; ++i) r.flagged += m.fixture[i].flagged ? 1 : 0;
    }
    auto ahead = [](const HeatRow& a, const HeatRow& b) {
        if (a.flagged != b.flagged) return a.flagged > b.flagged;
        if (a.failures != b.failures) return a.failures > b.failures;
        return a.host < b.host;
    };
    size_t shown = std::min(rows.size(), kHeatMapHosts);
    std::partial_sort(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(shown), rows.end(),
                      ahead);
    rows.resize(shown);
    return rows;
}

std::string RateClassLabel(int c) {
    constexpr int kBounds = kFailureRateClasses - 2;
    if (c == 0) return kLegendNoFailures;
    if (c == 1) return kLegendUpTo + Percent(kFailureRateBounds[0]);
    if (c > kBounds) return kLegendOver + Percent(kFailureRateBounds[kBounds - 1]);
    return Percent(kFailureRateBounds[c - 2]) + "\xE2\x80\x93" + Percent(kFailureRateBounds[c - 1]);
}

void LegendEntry(std::ostream& out, double x, double y, const char* fill, const std::string& text,
                 bool flagged = false) {
    using L = HeatLayout;
    El r("rect");
    r.At("class", "legend").At("x", x).At("y", y).At("width", L::kSwatch).At("height", L::kSwatch);
    r.At("fill", fill).At("stroke", flagged ? kAxisColour : kNoRunsStroke);
    if (flagged) r.At("stroke-width", 3);
    r.Empty(out);
    Label(out, x + L::kSwatch + 6, y + L::kSwatch - 3, text);
}

void HeatLegend(std::ostream& out, double x) {
    using L = HeatLayout;
    double y = L::kTop;
    Label(out, x, y - 6, kLegendTitle);
    LegendEntry(out, x, y, kWhite, kLegendNoRuns);
    for (int c = 0; c < kFailureRateClasses; ++c) {
        y += L::kLegendRowH;
        LegendEntry(out, x, y, kRateColours[c], RateClassLabel(c));
    }
    y += L::kLegendRowH;
    LegendEntry(out, x, y, kWhite, kLegendFlagged, true);
}

void HeatHeader(std::ostream& out, const HeatColumns& columns) {
    using L = HeatLayout;
    Label(out, 2, 14, kHeatCaption);
    Label(out, L::kLeft + L::kCell * static_cast<double>(columns.names.size()) / 2, 32, kPortAxis,
          kAnchorMiddle);
    Label(out, 2, L::kTop - 6, kFixtureAxis);
    for (size_t p = 0; p < columns.names.size(); ++p) {
        double x = L::kLeft + static_cast<double>(p) * L::kCell + L::kCell / 2;
        NameLabel(out, Text(x, L::kTop - 6).Rotate(-60, x, L::kTop - 6), columns.names[p],
                  L::kPortChars);
    }
}

// Each port's failures over every station.
std::vector<long long> PortFailures(const ReportModel& m) {
    std::vector<long long> failures(m.ports.size(), 0);
    for (size_t i = 0; i < m.fixture.size(); ++i) {
        const FixtureView::Entry& e = m.fixture.entry(i);
        if (e.port < failures.size()) failures[e.port] += e.failures;
    }
    return failures;
}

// One row's cells gathered into the columns; a column without runs stays blank.
std::vector<FixtureCell> RowCells(const ReportModel& m, const HeatRow& row,
                                  const HeatColumns& columns) {
    std::vector<FixtureCell> cells(columns.names.size());
    for (size_t i = row.first; i < row.end; ++i) {
        const FixtureView::Entry& e = m.fixture.entry(i);
        int c = e.port < columns.ofPort.size() ? columns.ofPort[e.port] : -1;
        if (c < 0) continue;
        FixtureCell& cell = cells[static_cast<size_t>(c)];
        FixtureCell whole = m.fixture[i];
        cell.host = whole.host;
        cell.port = columns.names[static_cast<size_t>(c)];
        cell.runs += whole.runs;
        cell.failures += whole.failures;
        cell.flagged = cell.flagged || whole.flagged;
    }
    return cells;
}

void HeatColumnsNote(std::ostream& out, const HeatColumns& columns) {
    if (!columns.folded && columns.hiddenPorts == 0 && columns.leftOut == 0) return;
    out << "<p id=\"heatmap-columns\">" << kHeatPortsShown << (columns.folded ? kHeatFolded : "");
    if (columns.hiddenPorts > 0) out << kHeatHidden << columns.hiddenPorts;
    if (columns.leftOut > 0) out << kHeatColumnsLeftOut << columns.leftOut;
    out << ".</p>\n";
}

void HeatCell(std::ostream& out, const FixtureCell& c, double x, double y) {
    using L = HeatLayout;
    int cls = FailureRateClass(c.runs, c.failures);
    El r("rect");
    r.At("class", "cell").At("data-runs", Count(c.runs)).At("data-failures", Count(c.failures));
    r.At("x", x).At("y", y).At("width", L::kCell - 2).At("height", L::kCell - 2);
    r.At("fill", kRateColours[cls]);
    if (c.flagged) r.At("stroke", kAxisColour).At("stroke-width", 3);
    r.With(out, c.host + " " + c.port + ": " + Count(c.failures) + "/" + Count(c.runs) +
                    (c.flagged ? kFlaggedWord : ""));
    El t = Text(x + (L::kCell - 2) / 2, y + L::kCell / 2 + 2);
    t.At("text-anchor", kAnchorMiddle).At("font-size", kCellFont);
    if (cls >= kRateClassDarkFrom) t.At("fill", kWhite);
    t.With(out, "", Count(c.failures) + "/" + Count(c.runs));
}

}  // namespace

void WriteHeatMap(std::ostream& out, const ReportModel& m) {
    using L = HeatLayout;
    std::vector<HeatRow> rows = HeatRows(m);
    size_t leftOut = m.hosts.size() - rows.size();
    if (leftOut > 0) {
        out << "<p id=\"heatmap-left-out\">" << kHeatMapShows << rows.size() << kOfWord
            << m.hosts.size() << kHeatMapHostsWord << leftOut << kHeatMapLeftOut << "</p>\n";
    }
    HeatColumns columns = ChooseHeatColumns(m.ports, PortFailures(m), kHeatMapColumns);
    HeatColumnsNote(out, columns);
    double gridW = L::kCell * static_cast<double>(columns.names.size());
    double legendX = L::kLeft + gridW + L::kLegendGap;
    double gridH = L::kCell * static_cast<double>(std::max<size_t>(rows.size(), 1));
    double legendH = (kFailureRateClasses + 2) * L::kLegendRowH;
    OpenSvg(out, "id=\"chart-heatmap\"", FitCaption(legendX + L::kLegendW, 2, kHeatCaption),
            L::kTop + std::max(gridH, legendH) + 10, kHeatCaption);
    HeatHeader(out, columns);
    HeatLegend(out, legendX);
    if (rows.empty()) Label(out, L::kLeft, L::kTop + 20, kNoFixtureRuns);
    for (size_t r = 0; r < rows.size(); ++r) {
        double y = L::kTop + static_cast<double>(r) * L::kCell;
        NameLabel(out, Text(0, y + L::kCell / 2 + 4), m.hosts[rows[r].host], kChartLabelChars);
        std::vector<FixtureCell> cells = RowCells(m, rows[r], columns);
        for (size_t c = 0; c < cells.size(); ++c) {
            if (cells[c].runs == 0) continue;
            HeatCell(out, cells[c], L::kLeft + static_cast<double>(c) * L::kCell, y);
        }
    }
    out << "</svg>\n";
}

// ---- analogue histogram ----

namespace {

struct HistogramLayout {
    static constexpr double kLeft = 56, kTop = 48, kPlotH = 120, kRight = 40, kBottom = 60;
    static constexpr double kWideBarW = 10, kNarrowBarW = 6;
    static constexpr int kWideBinsAtMost = 80;
    static constexpr int kMarginBins = 5;  // shown beyond each limit
    static constexpr int kSpanBins = 200;  // at most, readings beyond it in the end bins
    static constexpr int kTicks = 4;
    static constexpr int kVoltTickBins = 5, kWideVoltTickBins = 10;
};

std::string Volts(int hundredths) { return Fixed(hundredths / 100.0, 2); }

struct HistogramBins {
    int lo = 0, hi = 0;  // hundredths of a volt; readings beyond them counted in them
    std::map<int, long long> counts;
};

HistogramBins Bin(const AnalogueStats& a) {
    using L = HistogramLayout;
    const int low = tracefmt::kAdcLowHundredths, high = tracefmt::kAdcHighHundredths;
    const int middle = (low + high) / 2;
    HistogramBins b;
    int first = a.histogram.empty() ? low : a.histogram.begin()->first;
    int last = a.histogram.empty() ? high : a.histogram.rbegin()->first;
    b.lo = std::max(std::min(first, low - L::kMarginBins), middle - L::kSpanBins / 2);
    b.hi = std::min(std::max(last, high + L::kMarginBins), middle + L::kSpanBins / 2);
    for (const auto& [v, n] : a.histogram) b.counts[std::clamp(v, b.lo, b.hi)] += n;
    return b;
}

std::string BinTitle(const AnalogueStats& a, const HistogramBins& b, int v, long long n) {
    std::string where = Volts(v) + kVoltUnit;
    if (v == b.lo && a.histogram.begin()->first < b.lo) where = kAtMostWord + where;
    if (v == b.hi && a.histogram.rbegin()->first > b.hi) where = kAtLeastWord + where;
    return where + ": " + Count(n) + kReadingsWord;
}

void HistogramAxes(std::ostream& out, const HistogramBins& b, const LinearScale& x,
                   const LinearScale& y, const std::vector<long long>& ticks) {
    using L = HistogramLayout;
    double base = L::kTop + L::kPlotH, right = x(b.hi + 0.5);
    for (long long t : ticks) {
        Line(out, L::kLeft, y(static_cast<double>(t)), right, y(static_cast<double>(t)),
             kGridColour);
        Label(out, L::kLeft - 6, y(static_cast<double>(t)) + 4, Count(t), kAnchorEnd);
    }
    Line(out, L::kLeft, L::kTop, L::kLeft, base, kAxisColour);
    Line(out, L::kLeft, base, right, base, kAxisColour);
    int every = b.hi - b.lo + 1 > L::kWideBinsAtMost ? L::kWideVoltTickBins : L::kVoltTickBins;
    for (int v = b.lo; v <= b.hi; ++v) {
        if (v % every != 0) continue;
        Line(out, x(v), base, x(v), base + 4, kAxisColour);
        Label(out, x(v), base + 15, Volts(v), kAnchorMiddle, kSmallFont);
    }
    Text(14, L::kTop + L::kPlotH / 2)
        .At("text-anchor", kAnchorMiddle)
        .Rotate(-90, 14, L::kTop + L::kPlotH / 2)
        .With(out, "", kReadingsAxis);
    Label(out, (L::kLeft + right) / 2, base + L::kBottom - 6, kVoltAxis, kAnchorMiddle);
}

bool OutOfLimits(int hundredths) {
    return hundredths < tracefmt::kAdcLowHundredths || hundredths > tracefmt::kAdcHighHundredths;
}

// The hatching's id, unique on the page: the input's bytes in hex.
std::string HatchId(const std::string& input) {
    std::string id = kHatchPrefix;
    char hex[3];
    for (unsigned char c : input) {
        std::snprintf(hex, sizeof hex, "%02x", c);
        id += hex;
    }
    return id;
}

void HatchPattern(std::ostream& out, const std::string& id) {
    out << "<defs><pattern id=\"" << id
        << "\" width=\"6\" height=\"6\" patternUnits=\"userSpaceOnUse\" "
           "patternTransform=\"rotate(45)\"><line x1=\"0\" y1=\"0\" x2=\"0\" y2=\"6\" "
           "stroke=\""
        << kWhite << "\" stroke-width=\"2\"/></pattern></defs>\n";
}

void LimitLine(std::ostream& out, int limit, const LinearScale& x, bool high) {
    using L = HistogramLayout;
    double at = x(limit), base = L::kTop + L::kPlotH;
    El("line")
        .At("class", "limit")
        .At("data-limit", Volts(limit))
        .At("x1", at)
        .At("y1", L::kTop - 4)
        .At("x2", at)
        .At("y2", base)
        .At("stroke", kLimitColour)
        .At("stroke-dasharray", kDashes)
        .Empty(out);
    El t = Text(high ? at + 3 : at - 3, base + 30);
    t.At("fill", kLimitColour).At("font-size", kSmallFont);
    if (!high) t.At("text-anchor", kAnchorEnd);
    t.With(out, "", (high ? kHighLimitWord : kLowLimitWord) + Volts(limit) + kVoltUnit);
}

}  // namespace

void WriteHistogram(std::ostream& out, const AnalogueStats& a) {
    using L = HistogramLayout;
    HistogramBins b = Bin(a);
    int bins = b.hi - b.lo + 1;
    double barW = bins > L::kWideBinsAtMost ? L::kNarrowBarW : L::kWideBarW;
    LinearScale x(b.lo - 0.5, b.hi + 0.5, L::kLeft, L::kLeft + barW * bins);
    long long most = 0;
    for (const auto& kv : b.counts) most = std::max(most, kv.second);
    std::vector<long long> ticks = CountTicks(most, L::kTicks);
    LinearScale y(0, static_cast<double>(ticks.back()), L::kTop + L::kPlotH, L::kTop);
    std::string attrs = "class=\"chart-histogram\" data-input=\"" + H(a.input) + "\" data-low=\"" +
                        Volts(tracefmt::kAdcLowHundredths) + "\" data-high=\"" +
                        Volts(tracefmt::kAdcHighHundredths) + "\"";
    OpenSvg(out, attrs.c_str(),
            FitCaption(L::kLeft + barW * bins + L::kRight, L::kLeft, kHistogramCaption),
            L::kTop + L::kPlotH + L::kBottom, a.input + ": " + kHistogramCaption);
    Label(out, L::kLeft, 14, kHistogramCaption);
    HistogramAxes(out, b, x, y, ticks);
    const std::string hatch = HatchId(a.input);
    HatchPattern(out, hatch);
    for (const auto& [v, n] : b.counts) {
        PixelSpan s = BarSpan(x, v, 1);
        double top = y(static_cast<double>(n)), cx = (s.from + s.to) / 2;
        const bool outside = OutOfLimits(v);
        El bar("rect");
        bar.At("class", outside ? "bar out-of-limits" : "bar")
            .At("data-value", Volts(v))
            .At("x", s.from + 0.5)
            .At("y", top)
            .At("width", s.to - s.from - 1)
            .At("height", L::kTop + L::kPlotH - top)
            .At("fill", outside ? kOutOfLimitsColour : kHistogramBarColour);
        bar.With(out, BinTitle(a, b, v, n) + (outside ? kOutOfLimitsWord : ""));
        if (outside) {
            El("rect")
                .At("class", "hatch")
                .At("x", s.from + 0.5)
                .At("y", top)
                .At("width", s.to - s.from - 1)
                .At("height", L::kTop + L::kPlotH - top)
                .At("fill", "url(#" + hatch + ")")
                .Empty(out);
        }
        Text(cx + 3, top - 3)
            .At("font-size", kCellFont)
            .Rotate(-90, cx + 3, top - 3)
            .With(out, "", Count(n));
    }
    LimitLine(out, tracefmt::kAdcLowHundredths, x, false);
    LimitLine(out, tracefmt::kAdcHighHundredths, x, true);
    out << "</svg>\n";
}

}  // namespace yield
