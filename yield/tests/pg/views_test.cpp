// The views a factory's own tools read: the same rows from both engines for one pile.
#include <gtest/gtest.h>

#include <cstdlib>

#include "pgTestSupport.h"
#include "testDb.h"

namespace fs = std::filesystem;
using yieldtest::Q;
using yieldtest::TempDir;
using yieldtest::TestDb;
using yieldtest::Tool;

namespace {

constexpr const char* kViews[] = {
    "SELECT * FROM v_runs ORDER BY id", "SELECT * FROM v_ports ORDER BY run_id, family, number",
    "SELECT * FROM v_measurements ORDER BY run_id, cycle, port, name, value",
    "SELECT * FROM v_repair_queue ORDER BY chip_id"};

// Numbers as one engine prints them: SQLite writes 2.0 where PostgreSQL writes 2, and 1/0 where
// PostgreSQL's views have booleans (t/f).
std::string SameNumbers(const std::string& rows) {
    std::string out, field;
    for (char c : rows) {
        if (c != '|' && c != '\n') {
            field += c;
            continue;
        }
        if (field == "t" || field == "f") field = field == "t" ? "1" : "0";
        char* end = nullptr;
        double v = std::strtod(field.c_str(), &end);
        if (!field.empty() && end == field.c_str() + field.size()) {
            char text[40];
            std::snprintf(text, sizeof text, "%.15g", v);
            field = text;
        }
        out += field + c;
        field.clear();
    }
    return out;
}

}  // namespace

TEST(BothEngines, ViewsGiveTheSameRows) {
    TempDir tmp;
    yieldtest::MakeRuns(tmp.path() / "A", 0, 6, false);
    yieldtest::MakeRuns(tmp.path() / "B", 3, 6, true);
    yieldtest::WriteAll(tmp.path() / "A" / "devuzeV7-station", "fixture-A\n");
    std::vector<std::string> ingests = {Q(YIELD_GOLDEN_DIR), Q(tmp.path() / "A"),
                                        "--station fixture-B " + Q(tmp.path() / "B")};
    std::vector<std::string> rows(2);
    for (const std::string engine : {"sqlite", "postgresql"}) {
        auto db = TestDb::Make(engine);
        for (const std::string& paths : ingests)
            ASSERT_EQ(Tool("ingest --db " + Q(db->Url()) + " " + paths).status, 0);
        std::string& out = rows[engine == "sqlite" ? 0 : 1];
        for (const char* view : kViews) out += SameNumbers(db->Rows(view)) + "--\n";
    }
    EXPECT_NE(rows[0].find("|fixture-A|"), std::string::npos);
    EXPECT_NE(rows[0].find("|fixture-B|"), std::string::npos);
    EXPECT_NE(rows[0].find("|no complete run|"), std::string::npos);
    EXPECT_EQ(rows[1], rows[0]);
}
