// A fresh, empty database of one engine for one test, dropped at its end, and every row of it as
// text. PostgreSQL databases are made on the server the PG* environment variables name (the test
// command starts one).
#pragma once

#include <memory>
#include <string>

namespace yieldtest {

class TestDb {
public:
    // "sqlite" or "postgresql".
    static std::unique_ptr<TestDb> Make(const std::string& engine);
    virtual ~TestDb() = default;
    // What --db takes.
    virtual std::string Url() const = 0;
    // Every row of every table in a fixed order (source files only when asked).
    virtual std::string Dump(bool withSources = true) = 0;
    // One number the query gives.
    virtual long long Count(const std::string& query) = 0;
    // The rows the statements give, one line each, fields ended by '|' (NULL as "NULL").
    virtual std::string Rows(const std::string& statements) = 0;
};

// Takes a database this tool made back to what version 3 made: no tallies, version 3.
void BackToVersionThree(TestDb& db);
// Takes a database this tool made back to what version 4 made: no boards, no runs' tallies nor
// their indexes, version 4.
void BackToVersionFour(TestDb& db);
// Takes a database this tool made back to what version 5 made: no runs' causes, version 5.
void BackToVersionFive(TestDb& db);
// Takes a database this tool made back to what version 6 made: no plain boards' tally nor the
// others' index, version 6.
void BackToVersionSix(TestDb& db);
// Takes a database this tool made back to what version 2 made: no dispositions, alarms or
// clock_unset, no views (the upgrade makes them anew), version 2.
void BackToVersionTwo(TestDb& db);

}  // namespace yieldtest
