// Every wait on a PostgreSQL server goes through here, with a bound: a server that stops
// answering (its processes stopped, its machine gone) ends the call with a StoreError instead of
// holding the command, and StopStoreWaits ends it within about a second. Connections are made
// with the tool's timeouts and put in nonblocking mode, so that no send waits either.
#pragma once

#include <libpq-fe.h>

#include <functional>
#include <memory>
#include <string>

namespace yield {

struct PgResultFree {
    void operator()(PGresult* r) const { PQclear(r); }
};
using PgResult = std::unique_ptr<PGresult, PgResultFree>;

// How long a call waits for the server's answer, in seconds: kDbWaitEnvironment when it holds a
// whole number from 1 to 86400, else 30. The server is asked for a statement timeout of the same
// length (unless the connection's own options name one), so that a server that is merely slow
// cancels the statement itself, a moment before the tool would give up on it.
constexpr char kDbWaitEnvironment[] = "DEVUZE_YIELD_DB_WAIT";
int PgWaitSeconds();

// Connects to `conninfo` (a URI, or "" for the PG* variables), within the connection's
// connect_timeout (the URI's or PGCONNECT_TIMEOUT, else PgWaitSeconds), with TCP keepalives and
// the statement timeout where the URI and the PG* variables set none, and the client encoding
// UTF8. Throws StoreError.
PGconn* PgConnect(const std::string& conninfo);

// Sends a command with `send` (a PQsend... call on `conn`) and waits for its result: the first
// one, the rest read and dropped (a COPY's start is returned at once). Null when the command
// could not be sent or the connection was lost: PQerrorMessage says why. Throws StoreError when
// the server did not answer within PgWaitSeconds, StoreStopped once StopStoreWaits was called;
// the connection is then of no more use (any later call fails at once).
PgResult PgCall(PGconn* conn, const std::function<int(PGconn*)>& send);

// Sends the rows of a COPY that PgCall started, and its end, and waits for the COPY's result;
// bounded as PgCall is.
PgResult PgCopy(PGconn* conn, const std::string& rows);

}  // namespace yield
