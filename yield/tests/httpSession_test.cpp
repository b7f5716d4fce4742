// The server's HTTP side as a client meets it: the real `serve` on a free loopback port, spoken to
// over raw sockets (bodies, ranges, the Host guard, deadlines, pipelining, HTTP/1.0, live pages,
// the port already taken, the report's query, a database that stops answering).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netdb.h>
#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "serve/serveLimits.h"
#include "store/openStore.h"
#include "testSupport.h"

using namespace yield;
using yieldtest::Q;
using yieldtest::TempDir;

namespace {

constexpr char kShortDeadlineMs[] = "1000";
constexpr char kCsp[] = "Content-Security-Policy: default-src 'none'";
constexpr char kListening[] = "listening on http://";
constexpr int kReadTimeoutS = 20;
constexpr auto kTrickleEvery = std::chrono::milliseconds(200);
constexpr int kTrickleLines = 40;  // 8 s: far past the shortened deadline
constexpr int kScreenChanges = 16;
constexpr char kFailingScenario[] = "dio-stuck-di5-0";
constexpr char kGoldenChip[] = "0x1A2B3C4D";

void SetReadTimeout(int fd) {
    timeval tv{kReadTimeoutS, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
}

// A connected socket to `host` (numeric, IPv6 in brackets) at `port`; -1 when it cannot connect.
int Connect(std::string host, int port, int receiveBuffer = 0) {
    if (host.front() == '[') host = host.substr(1, host.size() - 2);
    addrinfo hints{}, *found = nullptr;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    hints.ai_socktype = SOCK_STREAM;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return -1;
    int fd = socket(found->ai_family, SOCK_STREAM, 0);
    if (receiveBuffer > 0)
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    SetReadTimeout(fd);
    if (connect(fd, found->ai_addr, found->ai_addrlen) != 0) {
        close(fd);
        fd = -1;
    }
    freeaddrinfo(found);
    return fd;
}

bool SendAll(int fd, const std::string& text) {
    for (size_t at = 0; at < text.size();) {
        ssize_t n = send(fd, text.data() + at, text.size() - at, MSG_NOSIGNAL);
        if (n <= 0) return false;
        at += static_cast<size_t>(n);
    }
    return true;
}

// What arrives until the server closes (or the read times out), or until `until` arrives.
std::string Receive(int fd, const std::string& until = "") {
    std::string got;
    char buf[65536];
    ssize_t n = 0;
    while ((until.empty() || got.find(until) == std::string::npos) &&
           (n = recv(fd, buf, sizeof buf, 0)) > 0)
        got.append(buf, static_cast<size_t>(n));
    return got;
}

// Whether the server has closed `fd`, without reading what it holds.
bool Ended(int fd) {
    pollfd p{fd, POLLRDHUP, 0};
    return poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR | POLLRDHUP)) != 0;
}

// `serve` over `db` on `listen`, its deadlines shortened when `deadlineMs` is given; stopped with
// SIGTERM at the end.
class Served {
public:
    Served(const std::string& db, const std::string& listen, const char* deadlineMs = nullptr,
           const std::string& deskSecretFile = "")
        : err_(tmp_.path() / "stderr") {
        int out[2];
        if (pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            if (deadlineMs != nullptr) setenv(kDeadlineVariable, deadlineMs, 1);
            dup2(out[1], STDOUT_FILENO);
            int err = open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(err, STDERR_FILENO);
            if (!deskSecretFile.empty())
                execl(YIELD_TOOL, YIELD_TOOL, "serve", "--db", db.c_str(), "--listen",
                      listen.c_str(), "--day", "2026-12-07", "--desk-secret-file",
                      deskSecretFile.c_str(), static_cast<char*>(nullptr));
            execl(YIELD_TOOL, YIELD_TOOL, "serve", "--db", db.c_str(), "--listen", listen.c_str(),
                  "--day", "2026-12-07", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        ReadAddress(out[0]);
        close(out[0]);
    }
    ~Served() { Stop(); }

    // SIGTERM; the exit status.
    int Stop() {
        if (pid_ <= 0) return -1;
        kill(pid_, SIGTERM);
        int st = 0;
        waitpid(pid_, &st, 0);
        pid_ = -1;
        return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    }
    std::string Err() const { return yieldtest::ReadAll(err_); }
    int port() const { return port_; }
    const std::string& host() const { return host_; }

    // One request with `head` (a request line, then `headers`), for `host` (default Host()),
    // "Connection: close" and no body; what came back.
    std::string Ask(const std::string& head, const std::string& headers = "",
                    const std::string& host = "") const {
        int fd = Connect(host_, port_);
        if (fd < 0) return "";
        SendAll(fd, head + " HTTP/1.1\r\nHost: " + (host.empty() ? Host() : host) + "\r\n" +
                        headers + "Connection: close\r\n\r\n");
        std::string got = Receive(fd);
        close(fd);
        return got;
    }
    std::string Host() const { return "localhost:" + std::to_string(port_); }

private:
    void ReadAddress(int fd) {
        std::string line;
        char c = 0;
        while (read(fd, &c, 1) == 1 && c != '\n') line += c;
        size_t at = line.find(kListening);
        if (at == std::string::npos) return;
        std::string address = line.substr(at + sizeof kListening - 1);
        size_t colon = address.rfind(':');
        host_ = address.substr(0, colon);
        port_ = std::atoi(address.c_str() + colon + 1);
    }

    TempDir tmp_;
    std::filesystem::path err_;
    pid_t pid_ = -1;
    std::string host_;
    int port_ = 0;
};

std::string StatusOf(const std::string& answer) { return answer.substr(0, 12); }

class ServeHttp : public ::testing::Test {
protected:
    void SetUp() override {
        db_ = (tmp_.path() / "y.db").string();
        OpenStore(db_, true);
    }
    // `count` failing boards of the day, each a log of its own (numbered from `first`), ingested
    // in one batch.
    void IngestBoards(int first, int count) {
        const std::filesystem::path golden = yieldtest::GoldenFlashLog(kFailingScenario);
        const std::string text = yieldtest::ReadAll(golden), name = golden.filename().string();
        const std::filesystem::path dir = tmp_.path() / ("logs" + std::to_string(first));
        for (int i = first; i < first + count; ++i) {
            char chip[24];
            std::snprintf(chip, sizeof chip, "0x0BAD%04d", i);
            auto swap = [&chip](std::string s) {
                for (size_t at; (at = s.find(kGoldenChip)) != std::string::npos;)
                    s.replace(at, sizeof kGoldenChip - 1, chip);
                return s;
            };
            yieldtest::WriteAll(dir / swap(name), swap(text));
        }
        ASSERT_EQ(yieldtest::Tool("ingest --db " + Q(db_) + " " + Q(dir)).status, 0);
    }
    TempDir tmp_;
    std::string db_;
};

}  // namespace

TEST_F(ServeHttp, BodiesOverTheLimitAreRefusedChunkedOrNotAndTheServerGoesOn) {
    Served s(db_, "127.0.0.1:0");
    const std::string post =
        "POST /alarms/999/clear HTTP/1.1\r\nHost: " + s.Host() + "\r\nX-Devuze-Clear: 1\r\n";
    std::string chunks;
    for (int i = 0; i < 64; ++i) chunks += "200\r\n" + std::string(512, 'x') + "\r\n";
    for (const std::string& request :
         {post + "Transfer-Encoding: chunked\r\n\r\n" + chunks + "0\r\n\r\n",
          post + "Content-Length: 8192\r\n\r\n" + std::string(8192, 'x')}) {
        int fd = Connect(s.host(), s.port());
        SendAll(fd, request);
        std::string answer = Receive(fd);
        close(fd);
        EXPECT_EQ(StatusOf(answer), "HTTP/1.1 413");
        EXPECT_NE(answer.find(kCsp), std::string::npos);
    }
    EXPECT_EQ(StatusOf(s.Ask("GET /")), "HTTP/1.1 200");
}

// Acknowledging and clearing go to the database with who and why; each step is taken once.
TEST_F(ServeHttp, AlarmStepsAreStoredOnceWithWhoAndWhy) {
    AlarmRow a;
    a.kind = kAlarmLowYield;
    a.station = "s1";
    a.firstPassYield = 0.5;
    a.raisedAt = "2026-12-07T08:00:00Z";
    const long long id = OpenUpgradeStore(db_)->RaiseAlarm(a);
    Served s(db_, "127.0.0.1:0");
    const std::string path = "POST /alarms/" + std::to_string(id);
    auto post = [&s](const std::string& head, const std::string& form, bool header = true) {
        int fd = Connect(s.host(), s.port());
        SendAll(fd, head + " HTTP/1.1\r\nHost: " + s.Host() + "\r\n" +
                        (header ? "X-Devuze-Clear: 1\r\n" : "") +
                        "Connection: close\r\nContent-Length: " + std::to_string(form.size()) +
                        "\r\n\r\n" + form);
        std::string answer = Receive(fd);
        close(fd);
        return StatusOf(answer);
    };
    EXPECT_EQ(post(path + "/acknowledge", "by=ann&note=x", false), "HTTP/1.1 403");
    EXPECT_EQ(post(path + "/acknowledge", "note=nobody"), "HTTP/1.1 400");
    EXPECT_EQ(post("POST /alarms/99999/clear", "by=ann"), "HTTP/1.1 404");
    EXPECT_EQ(post(path + "/acknowledge", "by=ann&note=cable+re-seated"), "HTTP/1.1 204");
    EXPECT_EQ(post(path + "/acknowledge", "by=bob"), "HTTP/1.1 409");
    EXPECT_EQ(post(path + "/clear", "by=bob&note=ok"), "HTTP/1.1 204");
    EXPECT_EQ(post(path + "/clear", "by=bob"), "HTTP/1.1 409");
    AlarmRow kept = OpenReadStore(db_)->AlarmHistory(1).at(0);
    EXPECT_EQ(kept.acknowledgedBy, "ann");
    EXPECT_EQ(kept.acknowledgeNote, "cable re-seated");
    EXPECT_EQ(kept.clearedBy, "bob");
    EXPECT_EQ(kept.clearNote, "ok");
}

TEST_F(ServeHttp, RangesAreIgnored) {
    Served s(db_, "127.0.0.1:0");
    std::string ranges = "Range: bytes=0-";
    for (int i = 0; i < 200; ++i) ranges += ",0-";
    std::string answer = s.Ask("GET /dashboard.css", ranges + "\r\n");
    EXPECT_EQ(StatusOf(answer), "HTTP/1.1 200");
    EXPECT_EQ(answer.find("Accept-Ranges"), std::string::npos);
    EXPECT_EQ(answer.find("multipart"), std::string::npos);
}

TEST_F(ServeHttp, OnLoopbackHoweverSpelledOnlyLoopbackHostsAreAnswered) {
    for (const char* listen : {"127.0.0.2:0", "127.1:0", "0x7f000001:0", "2130706433:0",
                               "[::ffff:127.0.0.1]:0", "[::1]:0", "localhost:0"}) {
        Served s(db_, listen);
        ASSERT_GT(s.port(), 0) << listen;
        const std::string port = std::to_string(s.port());
        std::string wrong = s.Ask("GET /", "", "attacker.example:" + port);
        EXPECT_EQ(StatusOf(wrong), "HTTP/1.1 403") << listen;
        EXPECT_NE(wrong.find(kCsp), std::string::npos) << listen;
        EXPECT_EQ(StatusOf(s.Ask("GET /")), "HTTP/1.1 200") << listen;
    }
}

TEST_F(ServeHttp, ATricklingClientIsDroppedAtItsDeadlineWhileOthersAreAnswered) {
    Served s(db_, "127.0.0.1:0", kShortDeadlineMs);
    int slow = Connect(s.host(), s.port());
    SendAll(slow, "GET / HTTP/1.1\r\nHost: " + s.Host() + "\r\n");
    bool answeredMeanwhile = false, dropped = false;
    for (int i = 0; i < kTrickleLines && !dropped; ++i) {
        std::this_thread::sleep_for(kTrickleEvery);
        if (i == 1) answeredMeanwhile = StatusOf(s.Ask("GET /")) == "HTTP/1.1 200";
        dropped = !SendAll(slow, "X-Slow: 1\r\n") || Ended(slow);
    }
    close(slow);
    EXPECT_TRUE(answeredMeanwhile);
    EXPECT_TRUE(dropped);
}

TEST_F(ServeHttp, PipelinedRequestsAreAnsweredInOrder) {
    Served s(db_, "127.0.0.1:0");
    const std::string host = "Host: " + s.Host() + "\r\n";
    int fd = Connect(s.host(), s.port());
    SendAll(fd, "GET /dashboard.css HTTP/1.1\r\n" + host + "\r\nGET /nothing HTTP/1.1\r\n" + host +
                    "\r\nGET /dashboard.js HTTP/1.1\r\n" + host + "Connection: close\r\n\r\n");
    std::string got = Receive(fd);
    close(fd);
    size_t css = got.find("text/css"), none = got.find("404 Not Found"),
           js = got.find("text/javascript");
    EXPECT_EQ(StatusOf(got), "HTTP/1.1 200");
    EXPECT_LT(css, none);
    EXPECT_LT(none, js);
    EXPECT_NE(js, std::string::npos);
}

TEST_F(ServeHttp, AnHttp10LivePageGetsAStreamThatEndsWithTheConnection) {
    Served s(db_, "127.0.0.1:0");
    int fd = Connect(s.host(), s.port());
    SendAll(fd, "GET /events HTTP/1.0\r\nHost: " + s.Host() + "\r\n\r\n");
    std::string got = Receive(fd, "event: dashboard");
    close(fd);
    std::string head = got.substr(0, got.find("\r\n\r\n"));
    EXPECT_EQ(StatusOf(head), "HTTP/1.0 200");
    EXPECT_NE(head.find("Connection: close"), std::string::npos);
    EXPECT_EQ(head.find("chunked"), std::string::npos);
    EXPECT_EQ(head.find("Content-Length"), std::string::npos);
    EXPECT_NE(head.find(kCsp), std::string::npos);
}

TEST_F(ServeHttp, ALivePageThatStopsReadingIsDropped) {
    IngestBoards(0, 120);  // a screen of some 17 kB
    Served s(db_, "127.0.0.1:0", kShortDeadlineMs);
    int page = Connect(s.host(), s.port(), 4096);
    SendAll(page, "GET /events HTTP/1.1\r\nHost: " + s.Host() + "\r\n\r\n");
    bool dropped = false;
    for (int i = 0; i < kScreenChanges && !dropped; ++i) {
        IngestBoards(1000 + i, 1);  // a new screen for every page
        std::this_thread::sleep_for(std::chrono::seconds(1));
        dropped = Ended(page);
    }
    close(page);
    EXPECT_TRUE(dropped);
    EXPECT_EQ(StatusOf(s.Ask("GET /")), "HTTP/1.1 200");
}

TEST_F(ServeHttp, ASecondServeOnATakenPortEndsWithStatus2) {
    Served s(db_, "127.0.0.1:0");
    yieldtest::Result second = yieldtest::Tool(
        "serve --db " + Q(db_) + " --listen 127.0.0.1:" + std::to_string(s.port()), "timeout 10 ");
    EXPECT_EQ(second.status, 2);
    EXPECT_NE(second.out.find("cannot listen on"), std::string::npos);
}

TEST_F(ServeHttp, ReportQueriesItDoesNotTakeAre400WithTheCsp) {
    Served s(db_, "127.0.0.1:0");
    // As the command line refuses them: a table without csv, today with days, swapped days.
    for (const char* query :
         {"today=2", "today=true", "dayz=7", "days=0", "days=36501", "days=1&days=2", "format=xml",
          "%zz=1", "table=pareto", "today=1&days=2", "since=2026-12-08&until=2026-12-01"}) {
        std::string answer = s.Ask(std::string("GET /report?") + query);
        EXPECT_EQ(StatusOf(answer), "HTTP/1.1 400") << query;
        EXPECT_NE(answer.find(kCsp), std::string::npos) << query;
    }
    EXPECT_EQ(StatusOf(s.Ask("GET /report?days=7&format=json")), "HTTP/1.1 404");  // no run
}

TEST_F(ServeHttp, ADatabaseThatStopsAnsweringHoldsNeitherPagesNorTheStop) {
    // Another connection that will keep the file locked (with a rollback journal, a writer's lock
    // keeps readers out): every read then waits for it.
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(db_.c_str(), &holder), SQLITE_OK);
    auto exec = [holder](const char* sql) { return sqlite3_exec(holder, sql, 0, 0, 0); };
    ASSERT_EQ(exec("PRAGMA journal_mode=DELETE"), SQLITE_OK);
    Served s(db_, "127.0.0.1:0", kShortDeadlineMs);
    ASSERT_EQ(exec("PRAGMA busy_timeout=5000; BEGIN EXCLUSIVE"), SQLITE_OK);
    std::string answer = s.Ask("GET /report");
    EXPECT_EQ(StatusOf(answer), "HTTP/1.1 503");
    EXPECT_NE(answer.find(kCsp), std::string::npos);
    EXPECT_EQ(s.Stop(), 0);
    EXPECT_NE(s.Err().find("did not answer"), std::string::npos);
    sqlite3_close(holder);
}

namespace {

constexpr char kDeskSecret[] = "desk-secret-0123456789";

// A form POST to /dispositions with `secret` in its header ("" for none); what came back.
std::string PostDisposition(const Served& s, const std::string& form, const std::string& secret) {
    int fd = Connect(s.host(), s.port());
    SendAll(fd, "POST /dispositions HTTP/1.1\r\nHost: " + s.Host() +
                    (secret.empty() ? "" : "\r\nX-Devuze-Desk-Secret: " + secret) +
                    "\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                    std::to_string(form.size()) + "\r\nConnection: close\r\n\r\n" + form);
    std::string answer = Receive(fd);
    close(fd);
    return answer;
}

}  // namespace

TEST_F(ServeHttp, DispositionsAreRecordedOnlyWithTheDeskSecret) {
    IngestBoards(0, 1);
    const std::string form = "chip_id=0x0bad0000&status=scrapped&by=ana&note=cracked+case";
    auto history = [this] { return OpenStore(db_, false)->DispositionsOf("0x0BAD0000").size(); };
    {
        Served readOnly(db_, "127.0.0.1:0");
        EXPECT_EQ(StatusOf(PostDisposition(readOnly, form, kDeskSecret)), "HTTP/1.1 404");
        EXPECT_EQ(readOnly.Ask("GET /board/0x0BAD0000").find("id=\"desk\""), std::string::npos);
    }
    const std::string secretFile = (tmp_.path() / "desk-secret").string();
    yieldtest::WriteAll(secretFile, std::string(kDeskSecret) + "\n");
    Served s(db_, "127.0.0.1:0", nullptr, secretFile);
    EXPECT_EQ(StatusOf(PostDisposition(s, form, "")), "HTTP/1.1 403");
    EXPECT_EQ(StatusOf(PostDisposition(s, form, std::string(kDeskSecret) + "x")), "HTTP/1.1 403");
    EXPECT_EQ(
        StatusOf(PostDisposition(s, "chip_id=0x0BAD0000&status=scrapped&by=a%07", kDeskSecret)),
        "HTTP/1.1 400");
    EXPECT_EQ(StatusOf(s.Ask("GET /dispositions")), "HTTP/1.1 405");
    EXPECT_EQ(history(), 0u);
    EXPECT_EQ(StatusOf(PostDisposition(s, form, kDeskSecret)), "HTTP/1.1 201");
    EXPECT_EQ(history(), 1u);
    std::string page = s.Ask("GET /board/0x0BAD0000");
    EXPECT_NE(page.find("id=\"desk\""), std::string::npos);
    EXPECT_NE(page.find("cracked case"), std::string::npos);

    // With a desk secret, only the desk acknowledges or clears an alarm.
    auto clear = [&s](const std::string& secret) {
        const std::string by = "by=ana";
        int fd = Connect(s.host(), s.port());
        SendAll(fd, "POST /alarms/7/clear HTTP/1.1\r\nHost: " + s.Host() + "\r\nX-Devuze-Clear: 1" +
                        (secret.empty() ? "" : "\r\nX-Devuze-Desk-Secret: " + secret) +
                        "\r\nContent-Length: " + std::to_string(by.size()) +
                        "\r\nConnection: close\r\n\r\n" + by);
        std::string answer = Receive(fd);
        close(fd);
        return StatusOf(answer);
    };
    EXPECT_EQ(clear(""), "HTTP/1.1 403");
    EXPECT_EQ(clear(kDeskSecret), "HTTP/1.1 404");  // past the secret: there is no alarm 7
}
