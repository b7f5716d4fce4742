#include "server.h"

#include <httplib.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

#include "alertCommand.h"
#include "assets.h"
#include "changeSource.h"
#include "dashboard.h"
#include "escape.h"
#include "openStore.h"
#include "pages.h"
#include "reportSelection.h"

namespace yield {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kPollEvery = 500ms;
constexpr auto kSseKeepAlive = 15s;
constexpr auto kJobWait = 60s;
constexpr size_t kHttpThreads = 16;
constexpr int kMaxSseClients = 10;  // leaves threads of the pool for pages
constexpr size_t kMaxQueuedJobs = 16;
constexpr size_t kMaxBody = 1024;
constexpr time_t kReadTimeoutS = 5;
constexpr time_t kWriteTimeoutS = 10;
constexpr time_t kKeepAliveS = 5;
constexpr size_t kKeepAliveRequests = 100;
constexpr size_t kMaxIdDigits = 18;

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
constexpr char kEventChange[] = "event: change\ndata: ";
constexpr char kTooManyClients[] = "too many live screens\n";
constexpr char kBusy[] = "the server is busy: try again\n";
constexpr char kNoAlarm[] = "no such alarm\n";
constexpr char kNeedClearHeader[] = "clearing an alarm takes the X-Devuze-Clear header\n";
constexpr char kNoData[] = "{\"data\":null,\"alarms\":[]}";
constexpr char kListening[] = "devuzeV7-yield serve: listening on http://%s:%d/\n";
constexpr char kCannotListen[] = "cannot listen on ";
constexpr char kBadListen[] = " (give HOST:PORT)";
constexpr char kReadFailed[] = "devuzeV7-yield serve: %s\n";
constexpr char kAlertFailed[] = "devuzeV7-yield serve: the alert command could not be started\n";

std::string Dump(const nlohmann::json& j) {
    return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// What the HTTP threads read: the screen's JSON and the alarms, and a generation that grows with
// every change of either.
class Live {
public:
    uint64_t Generation() {
        std::lock_guard<std::mutex> lock(m_);
        return generation_;
    }
    // The generation once it differs from `seen`, or after `wait`, or once stopped.
    uint64_t WaitChange(uint64_t seen, std::chrono::milliseconds wait) {
        std::unique_lock<std::mutex> lock(m_);
        cv_.wait_for(lock, wait, [&] { return stopped_ || generation_ != seen; });
        return generation_;
    }
    std::string Body() {
        std::lock_guard<std::mutex> lock(m_);
        if (data_.empty()) return kNoData;
        return "{\"data\":" + data_ + ",\"alarms\":" + Dump(AlarmsJson(book_.Shown())) + "}";
    }
    void Publish(std::string data) {
        std::lock_guard<std::mutex> lock(m_);
        data_ = std::move(data);
        Bump();
    }
    std::vector<Alarm> Raise(const std::vector<AlarmCondition>& now, const std::string& at) {
        std::lock_guard<std::mutex> lock(m_);
        std::vector<Alarm> raised = book_.Update(now, at);
        if (!raised.empty()) Bump();
        return raised;
    }
    bool Clear(long long id) {
        std::lock_guard<std::mutex> lock(m_);
        bool cleared = book_.Clear(id);
        if (cleared) Bump();
        return cleared;
    }
    void Stop() {
        std::lock_guard<std::mutex> lock(m_);
        stopped_ = true;
        cv_.notify_all();
    }
    bool Stopped() {
        std::lock_guard<std::mutex> lock(m_);
        return stopped_;
    }

private:
    void Bump() {
        ++generation_;
        cv_.notify_all();
    }
    std::mutex m_;
    std::condition_variable cv_;
    uint64_t generation_ = 0;
    std::string data_;
    AlarmBook book_;
    bool stopped_ = false;
};

using Job = std::packaged_task<Page()>;

// The one thread that reads the database: pages asked for, and the screen rebuilt per change.
// Each of them opens the store afresh and closes it when done, so that no read snapshot outlives
// the work it was taken for.
class DbWorker {
public:
    DbWorker(const ServeOptions& o, Live& live)
        : o_(o),
          live_(live),
          changes_(OpenPollingChangeSource(o.db)),
          alertWords_(CommandWords(o.onAlert)) {
        OpenReadStore(o.db);  // a database that cannot be read ends the command before it serves
    }

    void Start() {
        thread_ = std::thread([this] { Loop(); });
    }
    void Stop() {
        {
            std::lock_guard<std::mutex> lock(m_);
            stopping_ = true;
        }
        cv_.notify_all();
        if (thread_.joinable()) thread_.join();
    }
    // Queues `job`; an invalid future when the queue is full.
    std::future<Page> Submit(std::function<Page(ReadStore&)> job) {
        std::lock_guard<std::mutex> lock(m_);
        if (jobs_.size() >= kMaxQueuedJobs) return {};
        jobs_.emplace_back([job = std::move(job), db = o_.db] { return job(*OpenReadStore(db)); });
        cv_.notify_all();
        return jobs_.back().get_future();
    }
    std::string Today() const { return o_.day.empty() ? LocalDay(std::time(nullptr)) : o_.day; }

private:
    void Loop() {
        auto nextPoll = Clock::now();
        while (true) {
            Job job;
            {
                std::unique_lock<std::mutex> lock(m_);
                cv_.wait_until(lock, nextPoll, [&] { return stopping_ || !jobs_.empty(); });
                if (stopping_) return;
                if (!jobs_.empty()) {
                    job = std::move(jobs_.front());
                    jobs_.pop_front();
                }
            }
            if (job.valid()) job();
            if (Clock::now() >= nextPoll) {
                Poll();
                nextPoll = Clock::now() + kPollEvery;
            }
        }
    }

    void Poll() {
        ReapAlerts();
        try {
            std::string version = changes_->Version() + Today();
            if (version == version_) return;
            Refresh();
            version_ = version;
            lastFailure_.clear();
        } catch (const std::exception& e) {
            // Said once, not at every poll while it lasts.
            if (e.what() == lastFailure_) return;
            lastFailure_ = e.what();
            std::fprintf(stderr, kReadFailed, PrintableText(lastFailure_).c_str());
        }
    }

    void Refresh() {
        Dashboard d = ReadDashboard(*OpenReadStore(o_.db), Today());
        live_.Publish(Dump(DashboardJson(d)));
        std::vector<AlarmCondition> now = AlarmConditions(d.model, d.tests, o_.rule);
        for (const Alarm& a : live_.Raise(now, UtcStamp(std::time(nullptr))))
            if (!alertWords_.empty() && StartAlert(alertWords_, a) < 0)
                std::fputs(kAlertFailed, stderr);
    }

    const ServeOptions& o_;
    Live& live_;
    std::unique_ptr<ChangeSource> changes_;
    std::vector<std::string> alertWords_;
    std::string version_;
    std::string lastFailure_;
    std::mutex m_;
    std::condition_variable cv_;
    std::deque<Job> jobs_;
    bool stopping_ = false;
    std::thread thread_;
};

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

void ServeEvents(Live& live, std::atomic<int>& clients, httplib::Response& res) {
    if (++clients > kMaxSseClients) {
        --clients;
        return Fail(res, 503, kTooManyClients);
    }
    res.set_header(kCsp, kPageCsp);
    struct Stream {
        uint64_t seen = 0;
        bool started = false;
    };
    auto stream = std::make_shared<Stream>();
    stream->seen = live.Generation();
    res.set_chunked_content_provider(
        kEventType,
        [&live, stream](size_t, httplib::DataSink& sink) {
            if (!stream->started) {
                stream->started = true;
                return sink.write(kEventRetry, sizeof kEventRetry - 1);
            }
            uint64_t now = live.WaitChange(stream->seen, kSseKeepAlive);
            if (live.Stopped()) return false;
            std::string msg = now == stream->seen ? std::string(kEventAlive)
                                                  : kEventChange + std::to_string(now) + "\n\n";
            stream->seen = now;
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
    std::printf(kListening, host.c_str(), bound);
    std::fflush(stdout);
    return bound;
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
    std::thread stopper([&] {
        int signal = 0;
        sigwait(&stops, &signal);
        live.Stop();
        svr.stop();
    });
    svr.listen_after_bind();
    // Ended without a signal (the socket failed): wake the waiting thread itself.
    if (!live.Stopped()) pthread_kill(stopper.native_handle(), SIGTERM);
    stopper.join();
    worker.Stop();
}

}  // namespace yield
