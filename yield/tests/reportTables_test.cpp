// The report's table definitions: each kind of cell as people, the CSV and the JSON read it, and
// the rules every table keeps (keys unique, so no JSON member is written twice).
#include "report/reportTables.h"

#include <gtest/gtest.h>

#include <set>

using namespace yield;

namespace {

CellValue Number(double v, bool present = true) {
    CellValue c;
    c.number = v;
    c.present = present;
    return c;
}

template <class Row>
void ExpectKeysUniqueAndInKeyOrder(const ReportTable<Row>& t) {
    std::set<std::string> keys;
    for (const Column<Row>& c : t.columns) {
        if (c.key != nullptr) {
            EXPECT_TRUE(keys.insert(c.key).second) << t.jsonKey << " " << c.key;
        }
        bool shown = c.key != nullptr || c.heading.text != nullptr || c.heading.html != nullptr;
        EXPECT_TRUE(shown) << t.jsonKey;
    }
    std::vector<size_t> order = KeyOrder(t);
    ASSERT_EQ(order.size(), keys.size());
    for (size_t i = 1; i < order.size(); ++i)
        EXPECT_LT(std::string(t.columns[order[i - 1]].key), t.columns[order[i]].key);
}

}  // namespace

TEST(ReportTables, EachKindOfCellInEachFormat) {
    CellValue ratio = Number(3.0 / 7);
    ratio.count = 3;
    EXPECT_EQ(HumanText(CellKind::kRatio, ratio, 0, nullptr), "42.9%");
    EXPECT_EQ(HumanText(CellKind::kRatioCount, ratio, 0, nullptr), "42.9% (3)");
    EXPECT_EQ(CsvText(CellKind::kRatio, ratio), "0.428571");
    EXPECT_DOUBLE_EQ(JsonValue(CellKind::kRatio, ratio).get<double>(), 3.0 / 7);

    CellValue fraction;
    fraction.count = 9;
    fraction.of = 10;
    EXPECT_EQ(HumanText(CellKind::kFraction, fraction, 0, nullptr), "9/10");
    EXPECT_EQ(HumanText(CellKind::kInteger, fraction, 0, nullptr), "9");
    EXPECT_EQ(JsonValue(CellKind::kInteger, fraction), 9);

    EXPECT_EQ(HumanText(CellKind::kDecimals, Number(1.23456), 4, nullptr), "1.2346");
    EXPECT_EQ(HumanText(CellKind::kDecimals, Number(1.2, false), 2, nullptr), "none");
    EXPECT_EQ(CsvText(CellKind::kDecimals, Number(1.2, false)), "");
    EXPECT_TRUE(JsonValue(CellKind::kDecimals, Number(1.2, false)).is_null());
}

TEST(ReportTables, FlagsAndTextCells) {
    CellValue flag;
    flag.flag = true;
    EXPECT_EQ(HumanText(CellKind::kFlag, flag, 0, "MARK"), "MARK");
    EXPECT_EQ(CsvText(CellKind::kFlag, flag), "1");
    EXPECT_EQ(JsonValue(CellKind::kFlag, flag), true);
    flag.flag = false;
    EXPECT_EQ(HumanText(CellKind::kFlag, flag, 0, "MARK"), "");
    EXPECT_EQ(CsvText(CellKind::kFlag, flag), "0");

    CellValue text;
    text.text = "=1+1,x";
    EXPECT_EQ(HumanText(CellKind::kLogText, text, 0, nullptr), "=1+1,x");  // escaped by the writer
    EXPECT_EQ(CsvText(CellKind::kLogText, text), "\"'=1+1,x\"");
    EXPECT_EQ(JsonValue(CellKind::kWord, text), "=1+1,x");
}

TEST(ReportTables, KeysUniqueAndInKeyOrder) {
    ExpectKeysUniqueAndInKeyOrder(kRepairTable);
    ExpectKeysUniqueAndInKeyOrder(kSummaryTable);
    ExpectKeysUniqueAndInKeyOrder(kRetestTable);
    ExpectKeysUniqueAndInKeyOrder(kParetoTable);
    ExpectKeysUniqueAndInKeyOrder(kFixtureTable);
    ExpectKeysUniqueAndInKeyOrder(kIntermittentTable);
    ExpectKeysUniqueAndInKeyOrder(kAnalogueTable);
    ExpectKeysUniqueAndInKeyOrder(kDayTable);
}

TEST(ReportTables, FixtureRowsPeopleSeeAndTheOnesMarked) {
    FixtureCell quiet, failed, flagged;
    failed.failures = 1;
    flagged.failures = 3;
    flagged.flagged = true;
    EXPECT_FALSE(kFixtureTable.ShownToPeople(quiet));
    EXPECT_TRUE(kFixtureTable.ShownToPeople(failed));
    EXPECT_FALSE(kFixtureTable.Marked(failed));
    EXPECT_TRUE(kFixtureTable.Marked(flagged));
    EXPECT_TRUE(kRetestTable.ShownToPeople(RetestRow{}));
}

// People see the head of a long list, at the boundary exactly: kHeadRows rows, then one more.
TEST(ReportTables, HeadOfALongListAndTheRestCounted) {
    std::vector<RetestRow> retests(kHeadRows);
    HeadRows all = PeopleRows(kRetestTable, retests);
    EXPECT_EQ(all.rows.size(), kHeadRows);
    EXPECT_EQ(RestLine(all, kRetestTable.head.noun), "");
    retests.emplace_back();
    HeadRows head = PeopleRows(kRetestTable, retests);
    ASSERT_EQ(head.rows.size(), kHeadRows);
    EXPECT_EQ(head.rows.back(), kHeadRows - 1);
    EXPECT_EQ(RestLine(head, kRetestTable.head.noun),
              "... and 1 more retested boards (all of them: the JSON or CSV report)");
    EXPECT_EQ(Thousands(76617), "76,617");
    EXPECT_EQ(Thousands(1000000), "1,000,000");
    EXPECT_EQ(Thousands(999), "999");
}

TEST(ReportTables, HeadKeepsTheFlaggedCellsAndTheLatestPeriods) {
    std::vector<FixtureCell> cells(kHeadRows + 5);
    for (size_t i = 0; i < cells.size(); ++i) cells[i].failures = 1;
    cells.back().flagged = true;
    HeadRows fixture = PeopleRows(kFixtureTable, cells);
    ASSERT_EQ(fixture.rows.size(), kHeadRows);
    EXPECT_EQ(fixture.rows.back(), cells.size() - 1);  // kept, in the table's order
    EXPECT_EQ(fixture.rows[kHeadRows - 2], kHeadRows - 2);

    auto in = [](const char* period) {
        StationTrendRow r;
        r.period = period;
        return r;
    };
    std::vector<StationTrendRow> trend;
    for (const char* period : {"2026-W01", "2026-W02", "2026-W03"})
        for (size_t s = 0; s < kHeadRows / 2; ++s) trend.push_back(in(period));
    trend.push_back(in("2026-W03"));
    HeadRows latest = PeopleRows(kStationTrendTable, trend);
    EXPECT_TRUE(latest.earlier);
    ASSERT_EQ(latest.rows.size(), kHeadRows / 2 + 1);  // W02 does not fit beside W03 whole
    EXPECT_EQ(latest.rows.front(), 2 * (kHeadRows / 2));
    trend.assign(kHeadRows + 1, in("2026-W03"));
    HeadRows cut = PeopleRows(kStationTrendTable, trend);
    EXPECT_FALSE(cut.earlier);
    EXPECT_EQ(cut.rows.size(), kHeadRows);
    EXPECT_EQ(cut.rest, 1u);
}
