// The seam between the store and one database engine: statements prepared once and run with
// values bound by position, rows under a run sent in bulk, and transactions. The store's logic
// (sqlStore.cpp and the files of its jobs) is written once against it; each engine's file
// implements it.
#pragma once

#include <memory>
#include <string_view>

#include "store/sqlText.h"
#include "store/store.h"

namespace yield {

// Values bound in the order of the statement's $1, $2, ...
class SqlBinder {
public:
    virtual ~SqlBinder() = default;
    virtual void BindInt(long long v) = 0;
    virtual void BindReal(double v) = 0;
    virtual void BindText(std::string_view v) = 0;
    virtual void BindNull() = 0;
};

// One prepared statement. Runs at the first Step after its values are bound.
class SqlQuery : public SqlBinder {
public:
    virtual bool Step() = 0;  // true while rows come
    virtual long long Int(int col) = 0;
    virtual double Real(int col) = 0;
    virtual bool Null(int col) = 0;
    virtual std::string_view TextView(int col) = 0;  // valid until the next Step
    virtual void Reset() noexcept = 0;               // ready to be bound and run again
};

// Rows for one table: each row's values bound in the order of its columns, then EndRow.
class SqlRows : public SqlBinder {
public:
    virtual void EndRow() = 0;
};

// Every method throws StoreError; StoreRetry when the engine gave up a transaction that a
// second attempt can complete (two ingests waiting on each other); StoreRefused when a value is
// past one of the engine's limits.
class SqlConnection {
public:
    virtual ~SqlConnection() = default;
    virtual const sql::Dialect& Dialect() const = 0;
    virtual void Exec(const char* text) = 0;
    virtual SqlQuery& Prepare(const char* text) = 0;
    // A query that may give many rows: the engine may fetch them in chunks.
    virtual SqlQuery& PrepareScan(const char* text) = 0;
    // Rows may wait in the connection until Flush or Commit.
    virtual SqlRows& Rows(const sql::BulkTable& table) = 0;
    virtual void Flush() = 0;
    virtual void Begin() = 0;
    virtual void Commit() = 0;
    virtual void Rollback() noexcept = 0;
    // The server and database reached, for people; "" for a file.
    virtual std::string ServerName() const { return std::string(); }
};

// The store over a connection, readying the schema for `use`.
std::unique_ptr<RunStore> OpenSqlStore(std::unique_ptr<SqlConnection> conn, SchemaUse use);

}  // namespace yield
