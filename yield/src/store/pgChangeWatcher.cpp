#include <libpq-fe.h>
#include <poll.h>

#include <cerrno>
#include <chrono>

#include "store/changeWatcher.h"
#include "store/pgCall.h"
#include "store/pgText.h"
#include "store/sqlText.h"
#include "store/store.h"

namespace yield {
namespace {

constexpr char kLost[] = "database: lost the connection to the server: ";
constexpr char kRefused[] = "database: ";

class PgChangeWatcher : public ChangeWatcher {
public:
    explicit PgChangeWatcher(std::string conninfo) : conninfo_(std::move(conninfo)) { Listen(); }
    ~PgChangeWatcher() override { PQfinish(conn_); }
    PgChangeWatcher(const PgChangeWatcher&) = delete;
    PgChangeWatcher& operator=(const PgChangeWatcher&) = delete;

    bool WaitForChange(int timeoutMs) override {
        if (conn_ == nullptr) {
            Listen();
            return true;
        }
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            if (PQconsumeInput(conn_) == 0) Fail(kLost);
            if (TakeNotifications()) return true;
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            pollfd p{PQsocket(conn_), POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) < 0 && errno != EINTR) Fail(kLost);
        }
    }

private:
    void Listen() {
        conn_ = PgConnect(conninfo_);
        PgResult res;
        try {
            res = PgCall(conn_, [](PGconn* c) { return PQsendQuery(c, sql::kPgListen); });
        } catch (...) {
            PQfinish(conn_);
            conn_ = nullptr;
            throw;
        }
        if (PQresultStatus(res.get()) != PGRES_COMMAND_OK) Fail(kRefused);
    }

    // Every notification waiting, taken at once: one change reported for all of them.
    bool TakeNotifications() {
        bool any = false;
        while (PGnotify* n = PQnotifies(conn_)) {
            any = true;
            PQfreemem(n);
        }
        return any;
    }

    [[noreturn]] void Fail(const char* lead) {
        std::string why = OneLine(PQerrorMessage(conn_));
        PQfinish(conn_);
        conn_ = nullptr;
        throw StoreError(lead + why);
    }

    std::string conninfo_;
    PGconn* conn_ = nullptr;
};

}  // namespace

std::unique_ptr<ChangeWatcher> OpenPgChangeWatcher(const std::string& conninfo) {
    return std::make_unique<PgChangeWatcher>(conninfo);
}

}  // namespace yield
