#include "store/storeCheck.h"

#include <string>

#include "store/sqlStmt.h"

namespace yield {
namespace {

constexpr char kValueSeparator[] = " | ";

std::string RowText(Stmt& s, int columns) {
    std::string out;
    for (int c = 0; c < columns; ++c)
        out += (c == 0 ? "" : kValueSeparator) + std::string(s.TextView(c));
    return out;
}

int ColumnCount(const char* columns) {
    int n = 1;
    for (; *columns != '\0'; ++columns) n += *columns == ',' ? 1 : 0;
    return n;
}

// Every row of `text`, each a difference; the first kShownDifferences of them kept as text.
void Differences(SqlConnection& conn, const sql::TallyCheck& check, const char* text,
                 const char* side, TallyCheckResult& out) {
    Stmt s(conn.PrepareScan(text));
    int columns = ColumnCount(check.columns);
    while (s.Step()) {
        if (out.differences++ < kShownDifferences) {
            out.shown.push_back(std::string(check.table) + " " + side + ": " + RowText(s, columns));
        }
    }
}

}  // namespace

TallyCheckResult CheckTallies(SqlConnection& conn) {
    TallyCheckResult out;
    {
        Stmt s(conn.Prepare(sql::kCountRuns));
        if (s.Step()) out.runs = s.Int(0);
    }
    for (const sql::TallyCheck& check : sql::kTallyChecks) {
        out.tables.push_back(std::string(check.table) + " (" + check.columns + ")");
        Differences(conn, check, check.storedNotGiven, kStoredNotGiven, out);
        Differences(conn, check, check.givenNotStored, kGivenNotStored, out);
    }
    return out;
}

}  // namespace yield
