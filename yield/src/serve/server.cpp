#include "serve/server.h"

#include <sys/resource.h>

#include <algorithm>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>
#include <csignal>
#include <cstdio>
#include <memory>

#include "report/reportSelection.h"
#include "serve/dbWorker.h"
#include "serve/httpSession.h"
#include "serve/liveHub.h"
#include "serve/pagePool.h"
#include "serve/serveLimits.h"
#include "store/store.h"

namespace yield {

namespace asio = boost::asio;
using asio::ip::tcp;
using boost::system::error_code;

namespace {

constexpr char kListening[] = "devuzeV7-yield serve: listening on http://%s:%d/\n";
constexpr char kCannotListen[] = "cannot listen on ";
constexpr char kHeld[] =
    "devuzeV7-yield serve: the database did not answer within the grace; leaving without it\n";
constexpr char kHandlerFailed[] = "devuzeV7-yield serve: a connection failed: %s\n";
constexpr std::chrono::milliseconds kAcceptPause{100};

// Everything one server holds; left allocated, never destroyed, when a thread is still held in
// a database call after the grace.
struct Server {
    Server(const ServeOptions& o, const ServeLimits& l)
        : limits(l),
          worker(o, live),
          pages(kPageThreads, kMaxQueuedPages, kMaxQueuedPerLane),
          hub(io, live, limits),
          acceptor(io),
          acceptPause(io),
          signals(io, SIGINT, SIGTERM),
          context{io,
                  live,
                  worker,
                  pages,
                  hub,
                  limits,
                  connections,
                  o.db,
                  DatabaseForPeople(o.db),
                  std::string(),
                  0,
                  o.deskSecret} {}

    ServeLimits limits;
    // Before the I/O context: a connection still queued in it when it ends counts itself out.
    size_t connections = 0;
    asio::io_context io;
    Live live;
    DbWorker worker;
    PagePool pages;
    LiveHub hub;
    tcp::acceptor acceptor;
    asio::steady_timer acceptPause;
    asio::signal_set signals;
    ServeContext context;
};

// The descriptors the connections and live pages need, as far as the hard limit allows.
void RaiseDescriptorLimit() {
    rlimit r{};
    if (getrlimit(RLIMIT_NOFILE, &r) != 0 || r.rlim_cur >= kWantedDescriptors) return;
    r.rlim_cur = r.rlim_max == RLIM_INFINITY ? kWantedDescriptors
                                             : std::min<rlim_t>(r.rlim_max, kWantedDescriptors);
    setrlimit(RLIMIT_NOFILE, &r);
}

// Binds the first address `host` resolves to; an address in use is not passed over. Never
// shares the port with another socket (no SO_REUSEPORT).
void Bind(Server& s, const ListenAt& at) {
    const std::string& listen = at.text;
    error_code ec;
    tcp::resolver resolver(s.io);
    auto found = resolver.resolve(at.host, std::to_string(at.port),
                                  tcp::resolver::passive | tcp::resolver::numeric_service, ec);
    if (ec) throw ListenError(kCannotListen + listen + ": " + ec.message());
    for (const auto& entry : found) {
        s.acceptor.close(ec);
        s.acceptor.open(entry.endpoint().protocol(), ec);
        if (!ec) s.acceptor.set_option(tcp::acceptor::reuse_address(true), ec);
        if (!ec) s.acceptor.bind(entry.endpoint(), ec);
        if (!ec) s.acceptor.listen(asio::socket_base::max_listen_connections, ec);
        if (!ec || ec == asio::error::address_in_use) break;
    }
    if (ec) throw ListenError(kCannotListen + listen + ": " + ec.message());
    tcp::endpoint bound = s.acceptor.local_endpoint();
    s.context.address = bound.address().to_string();
    s.context.port = bound.port();
}

void SayListening(const Server& s) {
    const std::string& a = s.context.address;
    const bool v6 = a.find(':') != std::string::npos;
    std::printf(kListening, (v6 ? "[" + a + "]" : a).c_str(), s.context.port);
    std::fflush(stdout);
}

void Accept(Server& s) {
    s.acceptor.async_accept([&s](error_code ec, tcp::socket socket) {
        if (ec == asio::error::operation_aborted) return;
        if (ec) {
            // Out of descriptors, most likely: let deadlines free some.
            s.acceptPause.expires_after(kAcceptPause);
            s.acceptPause.async_wait([&s](error_code e) {
                if (!e) Accept(s);
            });
            return;
        }
        if (s.connections < kMaxConnections) StartHttpSession(std::move(socket), s.context);
        Accept(s);
    });
}

void StopAtSignal(Server& s) {
    s.signals.async_wait([&s](error_code ec, int) {
        if (ec) return;
        StopStoreWaits();  // a page or refresh waiting on a database that stopped answering
        error_code ignored;
        s.acceptor.close(ignored);
        s.acceptPause.cancel();
        s.hub.Stop();
        s.io.stop();
    });
}

// Runs the I/O until the stop signal; a handler that threw (memory ran out while answering) costs
// its connection, not the server.
void RunUntilStopped(asio::io_context& io) {
    while (true) {
        try {
            io.run();
            return;
        } catch (const std::exception& e) {
            std::fprintf(stderr, kHandlerFailed, e.what());
        }
    }
}

// After the I/O stopped: the live state, then the threads, each given what is left of the
// grace. False when one is still held.
bool StopThreads(Server& s) {
    s.live.Stop();
    auto deadline = std::chrono::steady_clock::now() + s.limits.stopGrace;
    const bool pagesEnded = s.pages.Stop(deadline);
    const bool workerEnded = s.worker.Stop(deadline);
    return pagesEnded && workerEnded;
}

}  // namespace

bool Serve(const ServeOptions& o) {
    RaiseDescriptorLimit();
    auto s = std::make_unique<Server>(o, LimitsOfEnvironment());
    Bind(*s, o.listen);
    SayListening(*s);
    s->hub.Start();
    s->worker.Start();
    StopAtSignal(*s);
    Accept(*s);
    RunUntilStopped(s->io);
    if (StopThreads(*s)) return true;
    std::fputs(kHeld, stderr);
    (void)s.release();  // still in use by the held thread: left to the process's exit
    return false;
}

}  // namespace yield
