// One statement in use, as the store's logic (storeIngest.cpp, storeReading.cpp, the row files)
// runs it: values bound in order whatever their C++ type, rows stepped, and the statement reset
// when done.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "parse/recordWords.h"
#include "store/sqlConnection.h"

namespace yield {

inline void BindOne(SqlBinder& b, long long v) { b.BindInt(v); }
inline void BindOne(SqlBinder& b, int v) { b.BindInt(v); }
inline void BindOne(SqlBinder& b, bool v) { b.BindInt(v ? 1 : 0); }
inline void BindOne(SqlBinder& b, double v) { b.BindReal(v); }
inline void BindOne(SqlBinder& b, const std::string& v) { b.BindText(v); }
inline void BindOne(SqlBinder& b, const char* v) { b.BindText(v); }
template <class T>
void BindOne(SqlBinder& b, const std::optional<T>& v) {
    if (v)
        BindOne(b, *v);
    else
        b.BindNull();
}

// One statement in use: bound, stepped, and reset when it goes out of scope.
class Stmt {
public:
    explicit Stmt(SqlQuery& q) : q_(q) {}
    ~Stmt() { q_.Reset(); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;

    template <class... T>
    Stmt& Bind(const T&... v) {
        (BindOne(q_, v), ...);
        return *this;
    }
    SqlBinder& Binder() { return q_; }
    bool Step() { return q_.Step(); }
    void Run() {
        while (Step()) {
        }
    }
    long long Int(int col) { return q_.Int(col); }
    double Real(int col) { return q_.Real(col); }
    bool Null(int col) { return q_.Null(col); }
    std::string Text(int col) { return std::string(q_.TextView(col)); }
    std::string_view TextView(int col) { return q_.TextView(col); }

private:
    SqlQuery& q_;
};

// A scan in run order (the run ID in column 0), read along rising run IDs. Made once the scan
// is bound.
class RunScan {
public:
    explicit RunScan(Stmt& s) : s_(s), more_(s.Step()) {}
    // True while the row in hand is run `id`'s; the rows of runs before it are passed over.
    bool At(long long id) {
        while (more_ && s_.Int(0) < id) more_ = s_.Step();
        return more_ && s_.Int(0) == id;
    }
    void Next() { more_ = s_.Step(); }

private:
    Stmt& s_;
    bool more_;
};

// Binds each value under the column it names, in the order of its table's column list
// (sql::PortColumn, ...): a value out of that order, or a column left out, throws before the row
// is sent.
template <class Column>
class ColumnBinder {
public:
    explicit ColumnBinder(SqlBinder& b) : b_(b) {}
    template <class T>
    ColumnBinder& Put(Column column, const T& value) {
        if (sql::Col(column) != next_++) throw StoreError(kColumnOrder);
        BindOne(b_, value);
        return *this;
    }
    // A column the statement fills itself.
    ColumnBinder& Skip(Column column) {
        if (sql::Col(column) != next_++) throw StoreError(kColumnOrder);
        return *this;
    }
    void Done() const {
        if (next_ != sql::Col(Column::kCount)) throw StoreError(kColumnOrder);
    }

private:
    static constexpr char kColumnOrder[] = "database: a row's columns bound out of their order";
    SqlBinder& b_;
    int next_ = 0;
};

inline Verdict VerdictOf(std::string_view word) {
    if (word == kVerdictWordOk) return Verdict::Ok;
    if (word == kVerdictWordErr) return Verdict::Err;
    return Verdict::Incomplete;
}

}  // namespace yield
