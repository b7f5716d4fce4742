// The rows beside runs go under, and come from, the columns their statements' texts name: the
// texts are taken apart here by name, so a writer or reader out of step with its list fails.
#include "store/sqlChildRows.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using namespace yield;

namespace {

using Named = std::map<std::string, std::string>;
constexpr char kNull[] = "NULL";

std::vector<std::string> Split(const std::string& list) {
    std::vector<std::string> out;
    for (size_t at = 0, next = 0; next != std::string::npos; at = next + 2) {
        next = list.find(", ", at);
        out.push_back(list.substr(at, next - at));
    }
    return out;
}

// The columns an INSERT or COPY names, or those a SELECT gives.
std::vector<std::string> Columns(const std::string& text, const char* open, const char* close) {
    size_t from = text.find(open) + std::string(open).size();
    return Split(text.substr(from, text.find(close, from) - from));
}
std::vector<std::string> Written(const char* text) { return Columns(text, "(", ")"); }
std::vector<std::string> Selected(const char* text) { return Columns(text, "SELECT ", " FROM"); }

// One row's values as bound, under the names `columns` gives their places.
class RecordedRow : public SqlRows {
public:
    void BindInt(long long v) override { values_.push_back(std::to_string(v)); }
    void BindReal(double v) override { values_.push_back(std::to_string(v)); }
    void BindText(std::string_view v) override { values_.emplace_back(v); }
    void BindNull() override { values_.push_back(kNull); }
    void EndRow() override { ++rows_; }
    Named Under(const std::vector<std::string>& columns) const {
        EXPECT_EQ(rows_, 1);
        EXPECT_EQ(values_.size(), columns.size());
        Named out;
        for (size_t i = 0; i < columns.size() && i < values_.size(); ++i)
            out[columns[i]] = values_[i];
        return out;
    }

private:
    std::vector<std::string> values_;
    int rows_ = 0;
};

// A row whose values are given by name, served where the statement's text puts each column.
class NamedRow : public SqlQuery {
public:
    NamedRow(const char* text, Named values) : columns_(Selected(text)), values_(values) {}
    void BindInt(long long) override {}
    void BindReal(double) override {}
    void BindText(std::string_view) override {}
    void BindNull() override {}
    bool Step() override {
        bool first = !stepped_;
        stepped_ = true;
        return first;
    }
    long long Int(int col) override { return std::stoll(At(col)); }
    double Real(int col) override { return std::stod(At(col)); }
    bool Null(int col) override { return At(col) == kNull; }
    std::string_view TextView(int col) override { return At(col); }
    void Reset() noexcept override {}

private:
    const std::string& At(int col) { return values_.at(columns_.at(static_cast<size_t>(col))); }
    std::vector<std::string> columns_;
    Named values_;
    bool stepped_ = false;
};

}  // namespace

TEST(SqlChildRows, RowsGoUnderTheColumnsTheirInsertAndCopyName) {
    RecordedRow port;
    AddPortRow(port, 7, PortResult{"DI", 5, true, false});
    Named p = port.Under(Written(sql::kPortRows.insert));
    EXPECT_EQ(p, (Named{{"run_id", "7"},
                        {"family", "DI"},
                        {"number", "5"},
                        {"passed", "1"},
                        {"intermittent", "0"}}));
    RecordedRow value;
    Measurement m{3, "ADC-1", "vin", 4.5, "", "V", false, 0, 0, kOutcomeInfo, "line"};
    AddMeasurementRow(value, 7, 2, m);
    Named v = value.Under(Written(sql::kMeasurementRows.insert));
    EXPECT_EQ(v["seq"], "2");
    EXPECT_EQ(v["cycle"], "3");
    EXPECT_EQ(v["low"], kNull);
    EXPECT_EQ(v["outcome"], kOutcomeInfo);
    EXPECT_EQ(v["line"], "line");
    for (const sql::BulkTable& t :
         {sql::kPortRows, sql::kTallyRows, sql::kMeasurementRows, sql::kFailureRows})
        EXPECT_EQ(Written(t.copy), Written(t.insert));
}

TEST(SqlChildRows, RowsAreReadFromTheColumnsTheirSelectNames) {
    Named port{
        {"run_id", "7"}, {"family", "DI"}, {"number", "5"}, {"passed", "0"}, {"intermittent", "1"}};
    for (const char* text : {sql::kPortsOfRun, sql::kPortsOfRunSpan, sql::kFailedPortsOfRunSpan}) {
        NamedRow q(text, port);
        Stmt s(q);
        ASSERT_TRUE(s.Step());
        PortResult p;
        ReadPortRow(s, p);
        EXPECT_EQ(p.Name(), "DI-5") << text;
        EXPECT_FALSE(p.passed) << text;
        EXPECT_TRUE(p.intermittent) << text;
    }
    Named value{{"run_id", "7"}, {"seq", "2"},     {"cycle", "3"},      {"port", "ADC-1"},
                {"name", "vin"}, {"value", "4.5"}, {"text", ""},        {"unit", "V"},
                {"low", "4"},    {"high", "5"},    {"outcome", "fail"}, {"line", "l"}};
    for (const char* text : {sql::kMeasurementsOfRun, sql::kSqliteFailingOfList.values,
                             sql::kPgFailingOfList.values}) {
        NamedRow q(text, value);
        Stmt s(q);
        ASSERT_TRUE(s.Step());
        Measurement m = ReadMeasurementRow(s);
        EXPECT_EQ(m.cycle, 3) << text;
        EXPECT_EQ(m.port, "ADC-1") << text;
        EXPECT_TRUE(m.hasLimits && m.low == 4 && m.high == 5) << text;
        EXPECT_EQ(m.outcome, kOutcomeFail) << text;
    }
    std::vector<std::string> byPath = Selected(sql::kSourceByPath);
    EXPECT_EQ(byPath.at(sql::Col(sql::SourceColumn::role)), "s.role");
    EXPECT_EQ(byPath.at(sql::Col(sql::SourceColumn::kCount)), "r.station");
}
