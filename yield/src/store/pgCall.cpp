#include "store/pgCall.h"

#include <poll.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "store/pgText.h"
#include "store/store.h"

namespace yield {
namespace {

using Clock = std::chrono::steady_clock;

std::atomic<bool> gStopWaits{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

constexpr int kDefaultWaitSeconds = 30;
constexpr int kMaxWaitSeconds = 86400;
// After StopStoreWaits, what a call still gets; and how often a wait looks at the stop.
constexpr auto kStopGrace = std::chrono::seconds(1);
constexpr auto kWaitSlice = std::chrono::milliseconds(100);
// The tool's own waits are this much longer than the server's statement timeout.
constexpr auto kServerFirst = std::chrono::seconds(2);

constexpr char kCannotConnect[] = "cannot connect to database: ";
constexpr char kNoAnswerLead[] = "the database server did not answer within ";
constexpr char kNoAnswerUnit[] = " s";
constexpr char kStopped[] = "database: stopped while waiting for the database server";
constexpr char kOutOfMemory[] = "out of memory";

// The connection's settings: the tool's defaults go before the user's conninfo, which overrides
// them; the options and the encoding after it, since the tool needs those.
constexpr char kConnectTimeout[] = "connect_timeout";
constexpr char kConnectTimeoutEnvironment[] = "PGCONNECT_TIMEOUT";
constexpr const char* kKeepalives[][2] = {{"keepalives", "1"},
                                          {"keepalives_idle", "30"},
                                          {"keepalives_interval", "10"},
                                          {"keepalives_count", "3"}};
constexpr char kOptions[] = "options";
constexpr char kOptionsEnvironment[] = "PGOPTIONS";
constexpr char kStatementTimeout[] = "statement_timeout";
constexpr char kStatementTimeoutOption[] = " -c statement_timeout=";
constexpr char kLockTimeout[] = "lock_timeout";
constexpr char kLockTimeoutOption[] = " -c lock_timeout=";
// A wait for another writer's lock ends well before the statement timeout, as a lock the caller
// may try again for (two stations storing the same runs at once), not as a server gone quiet.
constexpr int kLockWaitShare = 3;
constexpr char kSecondsUnit[] = "s";
constexpr char kClientEncoding[] = "client_encoding";
constexpr char kUtf8[] = "UTF8";
constexpr char kDbName[] = "dbname";

// The latest moment a call may wait to, moved to a second after the stop once there is one.
class Deadline {
public:
    explicit Deadline(Clock::duration wait, std::chrono::seconds shown)
        : end_(Clock::now() + wait), shown_(shown) {}

    // Waits for `events` on `fd` for at most one slice: true when they came. Throws once the
    // deadline passed.
    bool Wait(int fd, short events) {
        if (!stopping_ && gStopWaits.load()) {
            stopping_ = true;
            end_ = std::min(end_, Clock::now() + kStopGrace);
        }
        auto left = end_ - Clock::now();
        if (left <= Clock::duration::zero()) {
            if (stopping_) throw StoreStopped(kStopped);
            throw StoreError(Expired());
        }
        auto slice = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::min<Clock::duration>(left, kWaitSlice));
        pollfd p{fd, events, 0};
        int n = poll(&p, 1, static_cast<int>(slice.count()) + 1);
        return n > 0 || (n < 0 && errno != EINTR);
    }

    std::string Expired() const {
        return kNoAnswerLead + std::to_string(shown_.count()) + kNoAnswerUnit;
    }

private:
    Clock::time_point end_;
    std::chrono::seconds shown_;
    bool stopping_ = false;
};

Deadline CallDeadline() {
    std::chrono::seconds wait(PgWaitSeconds());
    return Deadline(wait + kServerFirst, wait);
}

// Reads what the server sent until a whole result is there, sending what waits to be sent.
// False when the connection failed.
bool AwaitResult(PGconn* c, Deadline& d) {
    for (;;) {
        int unsent = PQflush(c);
        if (unsent < 0 || PQconsumeInput(c) == 0 || PQsocket(c) < 0) return false;
        if (unsent == 0 && PQisBusy(c) == 0) return true;
        d.Wait(PQsocket(c), static_cast<short>(POLLIN | (unsent != 0 ? POLLOUT : 0)));
    }
}

bool IsCopy(const PgResult& r) {
    ExecStatusType s = PQresultStatus(r.get());
    return s == PGRES_COPY_IN || s == PGRES_COPY_OUT || s == PGRES_COPY_BOTH;
}

PgResult FirstResult(PGconn* c, Deadline& d) {
    if (!AwaitResult(c, d)) return nullptr;
    PgResult first(PQgetResult(c));
    if (!first || IsCopy(first)) return first;
    while (AwaitResult(c, d)) {
        PgResult more(PQgetResult(c));
        if (!more) return first;
    }
    return nullptr;
}

// Sends with `put` (a PQputCopy... call) until the data is taken: 0 means the buffer is full.
bool PutCopy(PGconn* c, Deadline& d, const std::function<int()>& put) {
    for (;;) {
        int taken = put();
        if (taken != 0) return taken > 0;
        d.Wait(PQsocket(c), POLLOUT);
        if (PQflush(c) < 0) return false;
    }
}

int SettingOf(PGconn* c, const char* keyword) {
    int value = 0;
    PQconninfoOption* options = PQconninfo(c);
    for (PQconninfoOption* o = options; o != nullptr && o->keyword != nullptr; ++o) {
        if (std::string_view(o->keyword) == keyword && o->val != nullptr) value = std::atoi(o->val);
    }
    PQconninfoFree(options);
    return value;
}

// The server options the user gave (in `conninfo`, else PGOPTIONS), with the tool's statement and
// lock timeouts added unless they name them.
std::string ServerOptions(const std::string& conninfo) {
    std::string given;
    const char* env = std::getenv(kOptionsEnvironment);
    if (env != nullptr) given = env;
    if (PQconninfoOption* parsed = PQconninfoParse(conninfo.c_str(), nullptr)) {
        for (PQconninfoOption* o = parsed; o->keyword != nullptr; ++o) {
            if (std::string_view(o->keyword) == kOptions && o->val != nullptr) given = o->val;
        }
        PQconninfoFree(parsed);
    }
    const int wait = PgWaitSeconds();
    if (given.find(kStatementTimeout) == std::string::npos) {
        given += kStatementTimeoutOption + std::to_string(wait) + kSecondsUnit;
    }
    if (given.find(kLockTimeout) == std::string::npos) {
        given +=
            kLockTimeoutOption + std::to_string(std::max(1, wait / kLockWaitShare)) + kSecondsUnit;
    }
    return given;
}

[[noreturn]] void FailConnect(PGconn* c, const std::string& why) {
    PQfinish(c);
    throw StoreError(kCannotConnect + why);
}

}  // namespace

void StopStoreWaits() noexcept { gStopWaits.store(true); }

int PgWaitSeconds() {
    const char* env = std::getenv(kDbWaitEnvironment);
    if (env == nullptr) return kDefaultWaitSeconds;
    char* end = nullptr;
    long v = std::strtol(env, &end, 10);
    bool whole = end != env && *end == '\0' && v >= 1 && v <= kMaxWaitSeconds;
    return whole ? static_cast<int>(v) : kDefaultWaitSeconds;
}

PGconn* PgConnect(const std::string& conninfo) {
    std::string wait = std::to_string(PgWaitSeconds());
    std::string options = ServerOptions(conninfo);
    std::vector<const char*> keys, values;
    auto add = [&](const char* k, const char* v) {
        keys.push_back(k);
        values.push_back(v);
    };
    if (std::getenv(kConnectTimeoutEnvironment) == nullptr) add(kConnectTimeout, wait.c_str());
    for (const auto& kv : kKeepalives) add(kv[0], kv[1]);
    if (!conninfo.empty()) add(kDbName, conninfo.c_str());
    add(kOptions, options.c_str());
    add(kClientEncoding, kUtf8);
    add(nullptr, nullptr);
    PGconn* c = PQconnectStartParams(keys.data(), values.data(), 1);
    if (c == nullptr) throw StoreError(std::string(kCannotConnect) + kOutOfMemory);
    // libpq takes a connect_timeout under 2 s as 2 s, and 0 as none: the tool's bound then.
    int timeout = SettingOf(c, kConnectTimeout);
    std::chrono::seconds bound(timeout > 0 ? std::max(timeout, 2) : PgWaitSeconds());
    Deadline d(bound, bound);
    PostgresPollingStatusType st = PGRES_POLLING_WRITING;
    while (PQstatus(c) != CONNECTION_BAD && st != PGRES_POLLING_OK && st != PGRES_POLLING_FAILED) {
        try {
            short events = st == PGRES_POLLING_READING ? POLLIN : POLLOUT;
            while (!d.Wait(PQsocket(c), events)) {
            }
        } catch (const StoreStopped&) {
            PQfinish(c);
            throw;
        } catch (const StoreError& e) {
            FailConnect(c, e.what());
        }
        st = PQconnectPoll(c);
    }
    if (PQstatus(c) != CONNECTION_OK) FailConnect(c, OneLine(PQerrorMessage(c)));
    if (PQsetnonblocking(c, 1) != 0) FailConnect(c, OneLine(PQerrorMessage(c)));
    return c;
}

PgResult PgCall(PGconn* conn, const std::function<int(PGconn*)>& send) {
    if (send(conn) == 0) return nullptr;
    Deadline d = CallDeadline();
    return FirstResult(conn, d);
}

PgResult PgCopy(PGconn* conn, const std::string& rows) {
    Deadline d = CallDeadline();
    bool sent = PutCopy(
        conn, d, [&] { return PQputCopyData(conn, rows.data(), static_cast<int>(rows.size())); });
    bool ended =
        PutCopy(conn, d, [&] { return PQputCopyEnd(conn, sent ? nullptr : "send failed"); });
    if (!sent || !ended) return nullptr;
    return FirstResult(conn, d);
}

}  // namespace yield
