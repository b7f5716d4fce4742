// `serve`: the line's live screen over HTTP. Read-only: it reads the database and never writes;
// alarms live in memory. One I/O thread (Boost.Asio, HTTP by Boost.Beast) does all the network
// work, so a connection holds no thread; the screen is kept by its own thread (DbWorker), and
// the slow pages are built on a small pool (PagePool).
#pragma once

#include <stdexcept>
#include <string>

#include "serve/listenAddress.h"
#include "serve/serveOptions.h"

namespace yield {

// The server cannot listen where it was asked.
struct ListenError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Serves until SIGINT or SIGTERM; prints the address it listens on. Throws StoreError when the
// database cannot be read, ListenError when the address cannot be bound. At the signal it stops
// all network work, gives the page builders and the screen's reader a short grace, and returns
// false when one of them is still held (a database that stopped answering): it was left running,
// so the caller must end the process at once (std::_Exit) rather than return through main.
bool Serve(const ServeOptions& o);

}  // namespace yield
