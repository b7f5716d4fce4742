// `serve`: the line's live screen over HTTP. Read-only: it reads the database and never writes;
// alarms live in memory. One worker thread reads the database: it notices each change, rebuilds
// the screen's JSON once and raises the alarms; the HTTP threads only send what is built.
#pragma once

#include <stdexcept>
#include <string>

#include "alarmRule.h"

namespace yield {

constexpr char kDefaultListen[] = "127.0.0.1:8047";

struct ServeOptions {
    std::string db;
    std::string listen = kDefaultListen;
    std::string day;  // the day the screen counts; "" for the local day, following the clock
    AlarmRule rule;
    std::string onAlert;  // the command run per new alarm; "" for none
};

// The server cannot listen where it was asked.
struct ListenError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// "HOST:PORT" (an IPv6 host in brackets) split; false when it is not one. Port 0 takes a free
// one.
bool SplitListen(const std::string& listen, std::string& host, int& port);

// Whether a request's Host header may reach a server listening on `host` at `port`: on a loopback
// address only the loopback names with that port, so that a page of another site whose name was
// pointed at 127.0.0.1 cannot read the screen; on any other address every name.
bool HostAllowed(const std::string& host, int port, const std::string& hostHeader);

// Serves until SIGINT or SIGTERM; prints the address it listens on. Throws StoreError when the
// database cannot be read, ListenError when the address cannot be bound.
void Serve(const ServeOptions& o);

}  // namespace yield
