#include "server.h"

#include <httplib.h>
#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <iterator>
#include <thread>

#include "assets.h"
#include "dbWorker.h"
#include "escape.h"
#include "liveState.h"
#include "openStore.h"
#include "pages.h"
#include "reportSelection.h"

namespace yield {
namespace {

using namespace std::chrono_literals;

constexpr auto kSseKeepAlive = 15s;
constexpr auto kJobWait = 60s;
// Each live page holds a thread of the pool while it is connected; the rest serve requests.
constexpr int kMaxLivePages = 256;
constexpr size_t kHttpThreads = kMaxLivePages + 16;
constexpr size_t kMaxBody = 1024;
constexpr time_t kReadTimeoutS = 5;
constexpr time_t kWriteTimeoutS = 10;
constexpr time_t kKeepAliveS = 5;
constexpr size_t kKeepAliveRequests = 100;
constexpr size_t kMaxIdDigits = 18;
constexpr long kSignalCheckNs = 200'000'000;

constexpr char kCsp[] = "Content-Security-Policy";
constexpr char kPageCsp[] =
    "default-src 'none'; script-src 'self'; connect-src 'self'; style-src 'self'";
// The HTML report carries its own style and no script at all.
constexpr char kReportCsp[] = "default-src 'none'; style-src 'unsafe-inline'";
constexpr char kClearHeader[] = "X-Devuze-Clear";
constexpr char kHtmlType[] = "text/html; charset=utf-8";
constexpr char kCssType[] = "text/css; charset=utf-8";
constexpr char kJsType[] = "text/javascript; charset=utf-8";
constexpr char kJsonType[] = "application/json";
constexpr char kTextType[] = "text/plain; charset=utf-8";
constexpr char kEventType[] = "text/event-stream";
constexpr char kEventRetry[] = "retry: 2000\n\n";
constexpr char kEventAlive[] = ": alive\n\n";
constexpr char kEventDashboard[] = "event: dashboard\ndata: ";
constexpr char kWrongHost[] = "this server answers to its loopback address only\n";
constexpr char kHostHeader[] = "Host";
const char* const kLoopbackNames[] = {"127.0.0.1", "localhost", "[::1]"};
const char* const kLoopbackHosts[] = {"127.0.0.1", "localhost", "::1"};
constexpr char kTooManyClients[] = "too many live screens\n";
constexpr char kBusy[] = "the server is busy: try again\n";
constexpr char kNoAlarm[] = "no such alarm\n";
constexpr char kNeedClearHeader[] = "clearing an alarm takes the X-Devuze-Clear header\n";
constexpr char kListening[] = "devuzeV7-yield serve: listening on http://%s:%d/\n";
constexpr char kCannotListen[] = "cannot listen on ";
constexpr char kBadListen[] = " (give HOST:PORT)";

void Send(httplib::Response& res, const std::string& body, const char* type,
          const char* csp = kPageCsp) {
    res.set_header(kCsp, csp);
    res.set_content(body, type);
}

void Fail(httplib::Response& res, int status, const std::string& message) {
    res.status = status;
    Send(res, message, kTextType);
}

// Runs `job` on the worker and sends its page; 400 or 404 for what the pages refuse.
void Answer(DbWorker& worker, httplib::Response& res, std::function<Page(ReadStore&)> job,
            const char* csp = kPageCsp) {
    std::future<Page> page = worker.Submit(std::move(job));
    if (!page.valid() || page.wait_for(kJobWait) != std::future_status::ready)
        return Fail(res, 503, kBusy);
    try {
        Page p = page.get();
        Send(res, p.body, p.contentType.c_str(), csp);
    } catch (const BadRequest& e) {
        Fail(res, 400, std::string(e.what()) + "\n");
    } catch (const NothingFound& e) {
        Fail(res, 404, std::string(e.what()) + "\n");
    } catch (const std::exception& e) {
        Fail(res, 500, PrintableText(e.what()) + "\n");
    }
}

std::map<std::string, std::string> QueryOf(const httplib::Request& req) {
    std::map<std::string, std::string> q;
    for (const auto& [name, value] : req.params) q.emplace(name, value);
    return q;
}

// One event: the screen's whole JSON, so that a page needs no request of its own per change.
std::string DashboardEvent(const std::string& body) {
    return kEventDashboard + body + "\n\n";
}

void ServeEvents(Live& live, std::atomic<int>& clients, httplib::Response& res) {
    if (++clients > kMaxLivePages) {
        --clients;
        return Fail(res, 503, kTooManyClients);
    }
    res.set_header(kCsp, kPageCsp);
    struct Stream {
        uint64_t seen = 0;
        bool started = false;
    };
    auto stream = std::make_shared<Stream>();
    res.set_chunked_content_provider(
        kEventType,
        [&live, stream](size_t, httplib::DataSink& sink) {
            const bool first = !stream->started;
            stream->started = true;
            std::string msg;
            if (first) {
                msg = kEventRetry;
            } else if (live.WaitChange(stream->seen, kSseKeepAlive) == stream->seen) {
                msg = kEventAlive;
            }
            if (live.Stopped()) return false;
            // The page is sent what is current, however many changes it missed meanwhile; a new
            // page gets it at once.
            Live::Shot shot = live.Snapshot();
            if (shot.generation != stream->seen || first)
                msg += DashboardEvent(*shot.body);
            stream->seen = shot.generation;
            return sink.write(msg.data(), msg.size());
        },
        [&clients](bool) { --clients; });
}

void ClearAlarm(Live& live, const httplib::Request& req, httplib::Response& res) {
    if (!req.has_header(kClearHeader)) return Fail(res, 403, kNeedClearHeader);
    const std::string id = req.matches[1];
    if (id.size() > kMaxIdDigits || !live.Clear(std::stoll(id))) return Fail(res, 404, kNoAlarm);
    res.status = 204;
    res.set_header(kCsp, kPageCsp);
}

void Routes(httplib::Server& svr, Live& live, DbWorker& worker, std::atomic<int>& sse,
            const std::string& database) {
    svr.Get("/", [](const httplib::Request&, httplib::Response& res) {
        Send(res, kDashboardHtml, kHtmlType);
    });
    svr.Get("/dashboard.css", [](const httplib::Request&, httplib::Response& res) {
        Send(res, kDashboardCss, kCssType);
    });
    svr.Get("/dashboard.js", [](const httplib::Request&, httplib::Response& res) {
        Send(res, kDashboardJs, kJsType);
    });
    svr.Get("/dashboard.json", [&live](const httplib::Request&, httplib::Response& res) {
        Send(res, live.Body(), kJsonType);
    });
    svr.Get("/events", [&live, &sse](const httplib::Request&, httplib::Response& res) {
        ServeEvents(live, sse, res);
    });
    svr.Get(R"(/board/(.+))", [&worker](const httplib::Request& req, httplib::Response& res) {
        std::string chipId = req.matches[1];
        Answer(worker, res, [chipId](ReadStore& s) { return BoardPage(s, chipId); });
    });
    svr.Get("/report", [&worker, database](const httplib::Request& req, httplib::Response& res) {
        auto query = QueryOf(req);
        std::string today = worker.Today();
        bool html = query.count("format") != 0 && query.at("format") == "html";
        Answer(
            worker, res,
            [query, today, database](ReadStore& s) {
                return ReportPage(s, query, today, database);
            },
            html ? kReportCsp : kPageCsp);
    });
    svr.Post(R"(/alarms/(\d+)/clear)",
             [&live](const httplib::Request& req, httplib::Response& res) {
                 ClearAlarm(live, req, res);
             });
}

void Limit(httplib::Server& svr) {
    svr.new_task_queue = [] { return new httplib::ThreadPool(kHttpThreads); };
    svr.set_payload_max_length(kMaxBody);
    svr.set_read_timeout(kReadTimeoutS, 0);
    svr.set_write_timeout(kWriteTimeoutS, 0);
    svr.set_keep_alive_timeout(kKeepAliveS);
    svr.set_keep_alive_max_count(kKeepAliveRequests);
    svr.set_default_headers({{"X-Content-Type-Options", "nosniff"},
                             {"Referrer-Policy", "no-referrer"},
                             {"Cache-Control", "no-store"}});
}

int Bind(httplib::Server& svr, const std::string& listen) {
    std::string host;
    int port = 0;
    if (!SplitListen(listen, host, port)) throw ListenError(kCannotListen + listen + kBadListen);
    int bound = port == 0 ? svr.bind_to_any_port(host) : (svr.bind_to_port(host, port) ? port : -1);
    if (bound <= 0) throw ListenError(kCannotListen + listen);
    svr.set_pre_routing_handler([host, bound](const httplib::Request& req, httplib::Response& res) {
        if (HostAllowed(host, bound, req.get_header_value(kHostHeader)))
            return httplib::Server::HandlerResponse::Unhandled;
        Fail(res, 403, kWrongHost);
        return httplib::Server::HandlerResponse::Handled;
    });
    const bool v6 = host.find(':') != std::string::npos;
    std::printf(kListening, (v6 ? "[" + host + "]" : host).c_str(), bound);
    std::fflush(stdout);
    return bound;
}

// Waits for SIGINT or SIGTERM, then stops the live pages and the server; returns without either
// once `ended` is set.
void WaitForStop(const sigset_t& stops, const std::atomic<bool>& ended, Live& live,
                 httplib::Server& svr) {
    const timespec wait = {0, kSignalCheckNs};
    while (!ended) {
        if (sigtimedwait(&stops, nullptr, &wait) < 0) continue;
        live.Stop();
        svr.stop();
        return;
    }
}

sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

bool SplitListen(const std::string& listen, std::string& host, int& port) {
    size_t colon = listen.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == listen.size()) return false;
    std::string portText = listen.substr(colon + 1);
    if (portText.size() > 5 || portText.find_first_not_of("0123456789") != std::string::npos)
        return false;
    port = std::stoi(portText);
    if (port > 65535) return false;
    host = listen.substr(0, colon);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    return host.find_first_of("[]") == std::string::npos;
}

bool HostAllowed(const std::string& host, int port, const std::string& hostHeader) {
    auto isLoopback = [&host](const char* name) { return host == name; };
    if (std::none_of(std::begin(kLoopbackHosts), std::end(kLoopbackHosts), isLoopback)) return true;
    const std::string suffix = ":" + std::to_string(port);
    for (const char* name : kLoopbackNames)
        if (hostHeader == name + suffix) return true;
    return false;
}

void Serve(const ServeOptions& o) {
    // Every thread started from here leaves SIGINT and SIGTERM to the one that waits for them.
    sigset_t stops = StopSignals();
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);
    Live live;
    DbWorker worker(o, live);
    httplib::Server svr;
    std::atomic<int> sse{0};
    Limit(svr);
    Routes(svr, live, worker, sse, DatabaseForPeople(o.db));
    Bind(svr, o.listen);
    worker.Start();
    std::atomic<bool> ended{false};
    std::thread stopper([&] { WaitForStop(stops, ended, live, svr); });
    svr.listen_after_bind();
    ended = true;  // the socket failed, when no signal came
    stopper.join();
    worker.Stop();
}

}  // namespace yield
