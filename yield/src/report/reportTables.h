// The report's tables, each defined once: its name in each format and its columns (heading for
// people, key for machines, kind, and how the cell is read from the model's row). The four writers
// (reportText.cpp, reportCsv.cpp, reportJson.cpp, reportHtml.cpp) write every table from these
// definitions; each writer decides only where a table goes and how a cell is spelled.
#pragma once

#include <algorithm>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "report/reportModel.h"

namespace yield {

enum class CellKind {
    kLogText,  // text from the log: shown escaped in the text report
    kWord,     // our own word (a verdict)
    kInteger,
    kRatio,       // 0 to 1: a percentage for people, the number for machines
    kDecimals,    // a number, with the column's decimals for people; may be absent
    kFlag,        // the column's mark for people when set; 1/0 and true/false for machines
    kFraction,    // "count/of", for people only
    kRatioCount,  // "ratio% (count)", for people only
};

// One cell as read from a row; which members count depends on the column's kind.
struct CellValue {
    std::string text;     // kLogText, kWord
    long long count = 0;  // kInteger, kFraction, kRatioCount
    long long of = 0;     // kFraction
    double number = 0;    // kRatio, kDecimals, kRatioCount
    bool present = true;  // kDecimals, kInteger: false when there is no such number (no Cpk)
    bool flag = false;    // kFlag
};

// The two reports written for people.
enum class Human { kText, kHtml };

// A word that may differ between the text and the HTML report; null: not in that report.
struct HumanWords {
    const char* text = nullptr;
    const char* html = nullptr;
    const char* In(Human h) const { return h == Human::kText ? text : html; }
};

template <class Row>
struct Column {
    const char* key;  // CSV heading and JSON member; null: for people only
    HumanWords heading;
    CellKind kind;
    std::function<CellValue(const Row&)> read;
    int decimals = 0;      // kDecimals
    HumanWords mark = {};  // kFlag: the word shown for a set flag
};

// People read the head of a list that grows with the history: the text and HTML reports show at
// most kHeadRows rows of such a table and count the others in one line (RestLine); the JSON and
// CSV reports keep every row.
inline constexpr size_t kHeadRows = 50;

// Which rows of a long table people see.
template <class Row>
struct HeadRule {
    const char* noun = nullptr;  // what a row is, plural ("boards"); null: every row is shown
    // Rows kept before others (shown in the table's order); null: the first rows.
    bool (*ahead)(const Row&, const Row&) = nullptr;
    // A table by period, oldest first: the rows of the latest periods are kept, whole periods
    // while they fit (the latest one cut when it alone does not).
    const std::string& (*period)(const Row&) = nullptr;
};

template <class Row>
struct ReportTable {
    const char* csvName;  // its CSV file's name and --table's word for it
    const char* jsonKey;
    HumanWords title;  // null: written without a title
    std::vector<Column<Row>> columns;
    bool (*shown)(const Row&) = nullptr;   // the rows people see; null: all
    bool (*marked)(const Row&) = nullptr;  // rows the HTML report highlights
    HeadRule<Row> head = {};

    bool ShownToPeople(const Row& r) const { return shown == nullptr || shown(r); }
    bool Marked(const Row& r) const { return marked != nullptr && marked(r); }
};

// The rows of a table people see: their indexes in the items' order, and how many more rows
// people would see that the head leaves out.
struct HeadRows {
    std::vector<size_t> rows;
    size_t rest = 0;
    bool earlier = false;  // the rows left out are those of earlier periods
};

// "... and 76,617 more boards (all of them: the JSON or CSV report)"; "" when none are left out.
std::string RestLine(const HeadRows& head, const char* noun);
// A count as people read it: "76,617".
std::string Thousands(long long n);

extern const ReportTable<RepairRow> kRepairTable;
// The repair queue's failures, one row per failing port (for machines: CSV).
extern const ReportTable<RepairPortRow> kRepairPortTable;
// The repair table's column whose structured form the JSON report writes instead.
inline constexpr char kRepairFailuresKey[] = "failures";
extern const ReportTable<YieldSummary> kSummaryTable;
extern const ReportTable<RetestRow> kRetestTable;
extern const ReportTable<ParetoRow> kParetoTable;
extern const ReportTable<FixtureCell> kFixtureTable;
extern const ReportTable<IntermittentRow> kIntermittentTable;
extern const ReportTable<AnalogueStats> kAnalogueTable;
extern const ReportTable<DayRow> kDayTable;
extern const ReportTable<StationRow> kStationTable;
extern const ReportTable<StationTrendRow> kStationTrendTable;
extern const ReportTable<PortTrendRow> kPortTrendTable;
extern const ReportTable<Selection> kSelectionTable;  // for machines: one row
extern const ReportTable<AlarmRow> kAlarmTable;
extern const ReportTable<ClockRow> kClockTable;
// The line screen's own: the boards per station and hour, and the latest runs.
extern const ReportTable<HourRow> kHourTable;
extern const ReportTable<LatestRun> kLatestTable;

// What a figure of the report means, written where the figures are.
struct Definition {
    std::string term;
    std::string text;
};
extern const std::vector<Definition> kDefinitions;
extern const ReportTable<Definition> kDefinitionTable;

// A cell as people read it, not yet escaped; `mark` is the column's word for a set flag.
std::string HumanText(CellKind kind, const CellValue& v, int decimals, const char* mark);
// A cell of the CSV report, escaped.
std::string CsvText(CellKind kind, const CellValue& v);
nlohmann::json JsonValue(CellKind kind, const CellValue& v);

template <class Row>
std::string HumanCell(const Column<Row>& c, const Row& r, Human h) {
    return HumanText(c.kind, c.read(r), c.decimals, c.mark.In(h));
}

// The indexes of the columns with a key, in key order (the JSON report's member order).
template <class Row>
std::vector<size_t> KeyOrder(const ReportTable<Row>& t) {
    std::vector<size_t> order;
    for (size_t i = 0; i < t.columns.size(); ++i)
        if (t.columns[i].key != nullptr) order.push_back(i);
    std::sort(order.begin(), order.end(), [&t](size_t a, size_t b) {
        return std::string(t.columns[a].key) < t.columns[b].key;
    });
    return order;
}

namespace head {

// The kept rows by the rule's rank, each with its index; the least ahead first in the heap.
template <class Row, class Items>
std::vector<size_t> Top(const HeadRule<Row>& rule, const Items& items,
                        const std::vector<size_t>& shown, size_t most) {
    using Kept = std::pair<Row, size_t>;
    auto before = [&rule](const Kept& a, const Kept& b) {
        if (rule.ahead(a.first, b.first)) return true;
        return !rule.ahead(b.first, a.first) && a.second < b.second;
    };
    std::vector<Kept> heap;
    for (size_t i : shown) {
        Kept k{items[i], i};
        if (heap.size() == most && !before(k, heap.front())) continue;
        if (heap.size() == most) {
            std::pop_heap(heap.begin(), heap.end(), before);
            heap.pop_back();
        }
        heap.push_back(std::move(k));
        std::push_heap(heap.begin(), heap.end(), before);
    }
    std::vector<size_t> rows(heap.size());
    std::transform(heap.begin(), heap.end(), rows.begin(), [](const Kept& k) { return k.second; });
    std::sort(rows.begin(), rows.end());
    return rows;
}

// The rows of the latest whole periods that fit in `most`; when the latest period alone does not
// fit, its first `most` rows (`whole` false).
template <class Row, class Items>
std::vector<size_t> Latest(const HeadRule<Row>& rule, const Items& items,
                           const std::vector<size_t>& shown, size_t most, bool& whole) {
    size_t from = shown.size();
    whole = true;
    while (from > 0) {
        const std::string& period = rule.period(items[shown[from - 1]]);
        size_t start = from - 1;
        while (start > 0 && rule.period(items[shown[start - 1]]) == period) --start;
        if (shown.size() - start <= most) {
            from = start;
            continue;
        }
        if (from < shown.size()) break;
        whole = false;
        auto first = shown.begin() + static_cast<std::ptrdiff_t>(start);
        return {first, first + static_cast<std::ptrdiff_t>(most)};
    }
    return {shown.begin() + static_cast<std::ptrdiff_t>(from), shown.end()};
}

}  // namespace head

// The rows of `items` people see under the table's head rule, at most `most`.
template <class Row, class Items>
HeadRows PeopleRows(const ReportTable<Row>& t, const Items& items, size_t most = kHeadRows) {
    HeadRows h;
    for (size_t i = 0; i < items.size(); ++i)
        if (t.ShownToPeople(items[i])) h.rows.push_back(i);
    if (t.head.noun == nullptr || h.rows.size() <= most) return h;
    size_t all = h.rows.size();
    if (t.head.period != nullptr) {
        h.rows = head::Latest(t.head, items, h.rows, most, h.earlier);
    } else if (t.head.ahead != nullptr) {
        h.rows = head::Top(t.head, items, h.rows, most);
    } else {
        h.rows.resize(most);
    }
    h.rest = all - h.rows.size();
    return h;
}

// Numbers as people read them: "1.50", "93.4%".
std::string Fixed(double v, int decimals);
std::string Percent(double v);

}  // namespace yield
