// Where the server listens and whom it answers there: the --listen text split, the loopback test
// on the address it was bound to, and the guard against pages of other sites whose names were
// pointed at a loopback address (DNS rebinding).
#pragma once

#include <string>

namespace yield {

// "HOST:PORT" (an IPv6 host in brackets) split; false when it is not one. Port 0 takes a free
// one.
bool SplitListen(const std::string& listen, std::string& host, int& port);

// --listen as given and as split, once, where the command line reads it.
struct ListenAt {
    std::string text;  // as given, for messages
    std::string host;
    int port = 0;
};
// False when `text` is not HOST:PORT.
bool ParseListen(const std::string& text, ListenAt& at);

// Whether `address` (numeric, as the resolver gave it) is a loopback address: 127.0.0.0/8, ::1,
// or ::ffff:127.x.x.x. False for anything that is not a numeric address.
bool IsLoopbackAddress(const std::string& address);

// Whether a request's Host header may reach a server bound to `address` (numeric) at `port`: on
// a loopback address only localhost or a loopback address, with that port (or none, on port 80),
// so that a page of another site whose name was pointed at 127.0.0.1 cannot read the screen; on
// any other address every name.
bool HostAllowed(const std::string& address, int port, const std::string& hostHeader);

}  // namespace yield
