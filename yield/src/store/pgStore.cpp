// The PostgreSQL engine behind the store, through libpq: statements prepared once per
// connection, the rows under each run sent with COPY, reports read through cursors inside one
// read-only snapshot. Texts pass through pgText's encoding both ways.
#include <libpq-fe.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "store/openStore.h"
#include "store/pgCall.h"
#include "store/pgText.h"
#include "store/sqlConnection.h"

namespace yield {
namespace {

// How ServerName names the server reached.
constexpr char kServerLead[] = "server ";
constexpr char kPortLead[] = " port ";
constexpr char kDatabaseLead[] = ", database ";

// A batch a second attempt can complete: serialization failure, deadlock detected, a lock not
// had within the server's lock_timeout.
bool Retryable(std::string_view sqlState) {
    return sqlState == "40001" || sqlState == "40P01" || sqlState == "55P03";
}

// A value the server will not take (data exception, or past a limit such as an index entry's
// size): the file that holds it is at fault, not the database.
bool Refused(std::string_view sqlState) {
    return sqlState.rfind("22", 0) == 0 || sqlState == "54000";
}

using Result = PgResult;

// A command's text sent as it is.
std::function<int(PGconn*)> Send(const char* text) {
    return [text](PGconn* c) { return PQsendQuery(c, text); };
}

// Bytes a COPY buffer may hold before it goes to the server.
constexpr size_t kCopyFlushBytes = 1U << 20;

class PgConnection;

class PgQuery : public SqlQuery {
public:
    PgQuery(PgConnection& conn, const char* text, std::string name, bool scan)
        : conn_(conn), text_(text), name_(std::move(name)), scan_(scan) {}

    void BindInt(long long v) override { params_.emplace_back(std::to_string(v)); }
    void BindReal(double v) override { params_.emplace_back(PgReal(v)); }
    void BindText(std::string_view v) override { params_.emplace_back(PgEncodeText(v)); }
    void BindNull() override { params_.emplace_back(); }

    bool Step() override;
    long long Int(int col) override {
        const char* v = PQgetvalue(res_.get(), row_, col);
        long long out = 0;
        std::from_chars(v, v + PQgetlength(res_.get(), row_, col), out);
        return out;
    }
    double Real(int col) override {
        return Null(col) ? 0 : std::strtod(PQgetvalue(res_.get(), row_, col), nullptr);
    }
    bool Null(int col) override { return PQgetisnull(res_.get(), row_, col) != 0; }
    std::string_view TextView(int col) override {
        std::string_view stored(PQgetvalue(res_.get(), row_, col),
                                static_cast<size_t>(PQgetlength(res_.get(), row_, col)));
        if (scratch_.size() <= static_cast<size_t>(col)) scratch_.resize(col + 1);
        return PgDecodeText(stored, scratch_[col]);
    }
    void Reset() noexcept override;

private:
    void Start();

    PgConnection& conn_;
    const char* text_;
    std::string name_;  // the prepared statement's, or the cursor's for a scan
    bool scan_;
    bool prepared_ = false;
    bool ran_ = false;
    bool cursorOpen_ = false;
    std::vector<std::optional<std::string>> params_;  // nothing for NULL
    Result res_;
    int row_ = -1;
    std::vector<std::string> scratch_;
};

// One table's rows in COPY text format, waiting for the next flush.
class PgRows : public SqlRows {
public:
    PgRows(PgConnection& conn, const char* copy) : conn_(conn), copy_(copy) {}
    void BindInt(long long v) override { Field(std::to_string(v)); }
    void BindReal(double v) override { Field(PgReal(v)); }
    void BindText(std::string_view v) override {
        Separate();
        AppendCopyField(buf_, PgEncodeText(v));
    }
    void BindNull() override { Field("\\N"); }
    void EndRow() override;

    const char* copy() const { return copy_; }
    std::string& buffer() { return buf_; }

private:
    void Separate() {
        if (fields_++ > 0) buf_ += '\t';
    }
    void Field(const std::string& v) {
        Separate();
        buf_ += v;
    }
    PgConnection& conn_;
    const char* copy_;
    std::string buf_;
    int fields_ = 0;  // in the row being added
};

class PgConnection : public SqlConnection {
public:
    explicit PgConnection(const std::string& conninfo) : conn_(PgConnect(conninfo)) {
        // The server's last word (e.g. why it is closing the connection) goes into the error
        // message instead of onto standard error.
        PQsetNoticeProcessor(
            conn_,
            [](void* self, const char* text) { static_cast<PgConnection*>(self)->notice_ = text; },
            this);
        try {
            Setup();
        } catch (...) {
            PQfinish(conn_);
            throw;
        }
    }
    ~PgConnection() override {
        if (inTx_) Quietly(readTx_ ? sql::kCommit : sql::kRollback);
        queries_.clear();
        PQfinish(conn_);
    }
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    const sql::Dialect& Dialect() const override { return sql::kPgDialect; }

    void Exec(const char* text) override { Check(PgCall(conn_, Send(text)), PGRES_COMMAND_OK); }
    // For cleaning up: a failure or a server that does not answer changes nothing more.
    void Quietly(const char* text) noexcept {
        try {
            PgCall(conn_, Send(text));
        } catch (const StoreError&) {
        }
    }

    // Outside a batch, reads share one snapshot (a report while an ingest commits sees either
    // all of a batch or none of it); scans go through cursors, which need that transaction.
    SqlQuery& Prepare(const char* text) override {
        EnsureReadTransaction();
        return Query(text, false);
    }
    SqlQuery& PrepareScan(const char* text) override {
        EnsureReadTransaction();
        return Query(text, true);
    }

    SqlRows& Rows(const sql::BulkTable& table) override {
        for (auto& r : rows_) {
            if (r->copy() == table.copy) return *r;
        }
        rows_.push_back(std::make_unique<PgRows>(*this, table.copy));
        return *rows_.back();
    }

    void Flush() override {
        for (auto& r : rows_) Copy(*r);
    }

    void Begin() override {
        if (readTx_) EndRead();
        Exec(sql::kBegin);
        inTx_ = true;
    }
    void Commit() override {
        Flush();
        Exec(sql::kCommit);
        inTx_ = false;
    }
    void Rollback() noexcept override {
        for (auto& r : rows_) r->buffer().clear();
        if (inTx_) Quietly(sql::kRollback);
        inTx_ = readTx_ = false;
    }

    void EnsureReadTransaction() {
        if (inTx_) return;
        Exec(sql::kPgBeginRead);
        inTx_ = readTx_ = true;
    }

    Result Check(Result res, ExecStatusType want) {
        ExecStatusType got = res ? PQresultStatus(res.get()) : PGRES_FATAL_ERROR;
        if (got == want || (want == PGRES_TUPLES_OK && got == PGRES_COMMAND_OK)) return res;
        if (PQstatus(conn_) != CONNECTION_OK) throw Lost();
        std::string why =
            res ? OneLine(PQresultErrorMessage(res.get())) : OneLine(PQerrorMessage(conn_));
        const char* state = res ? PQresultErrorField(res.get(), PG_DIAG_SQLSTATE) : nullptr;
        std::string_view sqlState = state != nullptr ? state : "";
        if (Retryable(sqlState)) throw StoreRetry("database: " + why);
        if (Refused(sqlState)) throw StoreRefused("database: " + why);
        throw StoreError("database: " + why);
    }

    PGconn* raw() { return conn_; }
    std::string ServerName() const override {
        auto text = [](const char* s) { return std::string(s == nullptr ? "" : s); };
        return kServerLead + text(PQhost(conn_)) + kPortLead + text(PQport(conn_)) + kDatabaseLead +
               text(PQdb(conn_));
    }

    StoreError Lost() const {
        std::string why = notice_.empty() ? "" : OneLine(notice_) + "; ";
        return StoreError("database: lost the connection to the server: " + why +
                          OneLine(PQerrorMessage(conn_)));
    }

    void Copy(PgRows& rows) {
        std::string& buf = rows.buffer();
        if (buf.empty()) return;
        Check(PgCall(conn_, Send(rows.copy())), PGRES_COPY_IN);
        Result res = PgCopy(conn_, buf);
        buf.clear();
        Check(std::move(res), PGRES_COMMAND_OK);
    }

private:
    void Setup() {
        const char* client = PQparameterStatus(conn_, "client_encoding");
        if (client == nullptr || std::string_view(client) != "UTF8")
            throw StoreError("database: cannot use UTF8 as the client encoding");
        const char* enc = PQparameterStatus(conn_, "server_encoding");
        std::string_view e = enc != nullptr ? enc : "";
        if (e != "UTF8" && e != "SQL_ASCII") {
            throw StoreError("database: encoding " + std::string(e) +
                             " cannot hold every log's text: use a UTF8 database");
        }
        for (const char* text : sql::kPgSession) Exec(text);
    }

    void EndRead() {
        Exec(sql::kCommit);
        inTx_ = readTx_ = false;
    }

    SqlQuery& Query(const char* text, bool scan) {
        auto it = queries_.find(text);
        if (it != queries_.end()) return *it->second;
        std::string name = (scan ? "yield_cursor_" : "yield_") + std::to_string(queries_.size());
        auto q = std::make_unique<PgQuery>(*this, text, name, scan);
        return *queries_.emplace(text, std::move(q)).first->second;
    }

    PGconn* conn_;
    std::string notice_;
    bool inTx_ = false;
    bool readTx_ = false;
    std::map<const char*, std::unique_ptr<PgQuery>> queries_;
    std::vector<std::unique_ptr<PgRows>> rows_;
};

// Runs the statement with its values: a scan opens its cursor, anything else gives all its rows.
void PgQuery::Start() {
    std::vector<const char*> values;
    for (const auto& p : params_) values.push_back(p ? p->c_str() : nullptr);
    int n = static_cast<int>(values.size());
    if (scan_) {
        std::string declare(std::string_view(text_).size() + 64, '\0');
        declare.resize(static_cast<size_t>(std::snprintf(
            declare.data(), declare.size(), sql::kPgDeclareCursor, name_.c_str(), text_)));
        conn_.Check(PgCall(conn_.raw(),
                           [&](PGconn* c) {
                               return PQsendQueryParams(c, declare.c_str(), n, nullptr,
                                                        values.data(), nullptr, nullptr, 0);
                           }),
                    PGRES_COMMAND_OK);
        cursorOpen_ = true;
        return;
    }
    if (!prepared_) {
        conn_.Check(
            PgCall(conn_.raw(),
                   [&](PGconn* c) { return PQsendPrepare(c, name_.c_str(), text_, 0, nullptr); }),
            PGRES_COMMAND_OK);
        prepared_ = true;
    }
    res_ = conn_.Check(PgCall(conn_.raw(),
                              [&](PGconn* c) {
                                  return PQsendQueryPrepared(c, name_.c_str(), n, values.data(),
                                                             nullptr, nullptr, 0);
                              }),
                       PGRES_TUPLES_OK);
}

bool PgQuery::Step() {
    if (!ran_) {
        ran_ = true;
        row_ = -1;
        Start();
    }
    ++row_;
    if (res_ && row_ < PQntuples(res_.get())) return true;
    // A cursor's next chunk, until one comes empty.
    if (!cursorOpen_ || (res_ && PQntuples(res_.get()) == 0)) return false;
    char fetch[128];
    std::snprintf(fetch, sizeof fetch, sql::kPgFetch, name_.c_str());
    res_ = conn_.Check(PgCall(conn_.raw(), Send(fetch)), PGRES_TUPLES_OK);
    row_ = 0;
    return PQntuples(res_.get()) > 0;
}

void PgQuery::Reset() noexcept {
    params_.clear();
    res_.reset();
    ran_ = false;
    if (cursorOpen_) {
        char close[128];
        std::snprintf(close, sizeof close, sql::kPgCloseCursor, name_.c_str());
        conn_.Quietly(close);
        cursorOpen_ = false;
    }
}

void PgRows::EndRow() {
    buf_ += '\n';
    fields_ = 0;
    if (buf_.size() >= kCopyFlushBytes) conn_.Copy(*this);
}

}  // namespace

std::unique_ptr<RunStore> OpenPgStore(const std::string& conninfo, SchemaUse use) {
    return OpenSqlStore(std::make_unique<PgConnection>(conninfo), use);
}

}  // namespace yield
