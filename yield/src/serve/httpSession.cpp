#include "serve/httpSession.h"

#include <array>
#include <atomic>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core.hpp>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <regex>

#include "report/dispositionRequest.h"
#include "report/escape.h"
#include "report/reportSelection.h"
#include "serve/assets.h"
#include "serve/dbWorker.h"
#include "serve/deskSecret.h"
#include "serve/httpMessage.h"
#include "serve/listenAddress.h"
#include "serve/liveHub.h"
#include "serve/pagePool.h"
#include "serve/pages.h"
#include "serve/routes.h"
#include "store/openStore.h"

namespace yield {

namespace asio = boost::asio;
namespace beast = boost::beast;
using boost::system::error_code;
using Request = http::request<http::string_body>;

namespace {

constexpr size_t kFirstRead = 4096;
constexpr size_t kLingerRead = 4096;
constexpr size_t kMaxIdDigits = 18;
constexpr char kWrongHost[] = "this server answers to its loopback address only\n";
constexpr char kTooManyClients[] = "too many live screens\n";
constexpr char kBusy[] = "the server is busy: try again\n";
constexpr char kNoAlarm[] = "no such alarm\n";
constexpr char kStepTakenBefore[] = "that alarm was acknowledged or cleared before\n";
constexpr char kBadAlarmForm[] = "the body is a form: by=NAME&note=TEXT\n";
constexpr char kFormLead[] = "/?";  // a form body decodes as a query
constexpr char kNeedClearHeader[] = "acknowledging or clearing an alarm takes the ";
constexpr char kNeedClearHeaderEnd[] = " header\n";
constexpr char kNotFound[] = "no such page\n";
constexpr char kWrongMethod[] = "this page does not take that method\n";
constexpr char kBadRequest[] = "not a request this server reads\n";
constexpr char kBodyTooLarge[] = "a request body takes at most 4 KiB\n";
constexpr char kNeedDeskSecret[] = "recording a disposition takes the desk's secret\n";
constexpr char kBadDispositionForm[] = "not a disposition form: chip_id, status, by and note\n";
constexpr char kDeskLane[] = " desk";
constexpr char kFormChip[] = "chip_id";
constexpr char kFormStatus[] = "status";
constexpr char kFormBy[] = "by";
constexpr char kFormNote[] = "note";
constexpr char kHeaderTooLarge[] = "a request header takes at most 8 KiB\n";
constexpr char kGetOnly[] = "GET, HEAD";
constexpr char kPostOnly[] = "POST";
constexpr char kBoardLane[] = " board";
constexpr char kReportLane[] = " report";
constexpr char kAlarmLane[] = " alarm";
const std::regex kAlarmStepPath(std::string(routes::kAlarmsPrefix) + R"((\d+)()" +
                                routes::kAcknowledgeSuffix + "|" + routes::kClearSuffix + ")");

// What a page job ends with, carried back to the I/O thread.
struct Built {
    http::status status;
    std::string type;
    std::string body;
};

Built BuildPage(const std::function<Page(ReadStore&)>& job, const std::string& db) {
    try {
        Page p = job(*OpenReadStore(db));
        return {http::status::ok, std::move(p.contentType), std::move(p.body)};
    } catch (const BadRequest& e) {
        return {http::status::bad_request, kTextType, std::string(e.what()) + "\n"};
    } catch (const NothingFound& e) {
        return {http::status::not_found, kTextType, std::string(e.what()) + "\n"};
    } catch (const std::exception& e) {
        return {http::status::internal_server_error, kTextType, PrintableText(e.what()) + "\n"};
    }
}

// A disposition recorded through the store's one write for it, on a connection of its own.
Built BuildDisposition(const DispositionAsked& asked, const std::string& db) {
    try {
        Disposition d = RecordDisposition(*OpenStore(db, true), asked, std::time(nullptr));
        return {http::status::created, kTextType, DispositionLine(d) + "\n"};
    } catch (const RequestError& e) {
        return {http::status::bad_request, kTextType, std::string(e.what()) + "\n"};
    } catch (const NothingSelected& e) {
        return {http::status::not_found, kTextType, std::string(e.what()) + "\n"};
    } catch (const std::exception& e) {
        return {http::status::internal_server_error, kTextType, PrintableText(e.what()) + "\n"};
    }
}

// The form's fields; false for a body that is not one (a field missing, unknown or twice).
bool ReadDispositionForm(const std::string& body, DispositionAsked& asked) {
    Target form;
    if (!DecodeTarget(kFormLead + body, form)) return false;
    for (const auto& [name, value] : form.query) {
        if (name == kFormChip)
            asked.chipId = value;
        else if (name == kFormStatus)
            asked.status = value;
        else if (name == kFormBy)
            asked.by = value;
        else if (name == kFormNote)
            asked.note = value;
        else
            return false;
    }
    return form.query.count(kFormChip) == 1 && form.query.count(kFormStatus) == 1;
}

// Takes the step on the database (the alarms' one write path), as the answer says.
Built StepAlarm(const std::string& db, long long id, AlarmStep step, AlarmNote note) {
    try {
        note.at = UtcStamp(std::time(nullptr));
        switch (OpenUpgradeStore(db)->TakeAlarmStep(id, step, note)) {
            case AlarmStepOutcome::Taken:
                return {http::status::no_content, kTextType, ""};
            case AlarmStepOutcome::NoSuchAlarm:
                return {http::status::not_found, kTextType, kNoAlarm};
            case AlarmStepOutcome::AlreadyTaken:
                return {http::status::conflict, kTextType, kStepTakenBefore};
        }
    } catch (const std::exception& e) {
        return {http::status::internal_server_error, kTextType, PrintableText(e.what()) + "\n"};
    }
    return {http::status::internal_server_error, kTextType, ""};
}

// A request that is not HTTP as the parser reads it; not one cut short by its client.
bool IsMalformed(error_code ec) {
    if (ec.category() != http::make_error_code(http::error::bad_method).category()) return false;
    return ec != http::error::end_of_stream && ec != http::error::partial_message &&
           ec != http::error::short_read;
}

class Session : public std::enable_shared_from_this<Session> {
public:
    Session(asio::ip::tcp::socket socket, ServeContext& c)
        : stream_(std::move(socket)), buffer_(kReadBufferLimit), pageTimer_(c.io), c_(c) {
        ++c_.connections;
    }
    ~Session() { --c_.connections; }

    void AwaitRequest() {
        if (buffer_.size() > 0) return ReadRequest();
        stream_.expires_after(c_.limits.idle);
        stream_.async_read_some(buffer_.prepare(kFirstRead),
                                [self = shared_from_this()](error_code ec, size_t n) {
                                    if (ec) return self->Close();
                                    self->buffer_.commit(n);
                                    self->ReadRequest();
                                });
    }

private:
    void ReadRequest() {
        parser_.emplace();
        parser_->header_limit(kHeaderLimit);
        parser_->body_limit(kBodyLimit);
        stream_.expires_after(c_.limits.request);
        http::async_read(stream_, buffer_, *parser_,
                         [self = shared_from_this()](error_code ec, size_t) { self->Read(ec); });
    }

    void Read(error_code ec) {
        stream_.expires_never();
        if (ec == http::error::body_limit)
            return Refuse(http::status::payload_too_large, kBodyTooLarge);
        if (ec == http::error::header_limit || ec == http::error::buffer_overflow)
            return Refuse(http::status::request_header_fields_too_large, kHeaderTooLarge);
        if (IsMalformed(ec)) return Refuse(http::status::bad_request, kBadRequest);
        if (ec) return Close();
        Request req = parser_->release();
        version_ = req.version();
        keepAlive_ = req.keep_alive() && ++answered_ < kKeepAliveRequests;
        head_ = req.method() == http::verb::head;
        Route(req);
    }

    void Route(const Request& req) {
        if (req.count(http::field::host) > 1) return Send(http::status::bad_request, kBadRequest);
        std::string host(req[http::field::host]);
        if (!HostAllowed(c_.address, c_.port, host))
            return Send(http::status::forbidden, kWrongHost);
        Target t;
        if (!DecodeTarget(std::string(req.target()), t))
            return Send(http::status::bad_request, kBadRequest);
        std::smatch step;
        if (std::regex_match(t.path, step, kAlarmStepPath)) {
            if (req.method() != http::verb::post) return WrongMethod(kPostOnly);
            return TakeAlarmStep(
                req, step[1],
                step[2] == routes::kClearSuffix ? AlarmStep::Clear : AlarmStep::Acknowledge);
        }
        if (t.path == routes::kDispositions && !c_.deskSecret.empty()) {
            if (req.method() != http::verb::post) return WrongMethod(kPostOnly);
            return Dispose(req);
        }
        if (req.method() != http::verb::get && !head_) return RouteOtherMethod(t.path);
        RouteGet(t);
    }

    void RouteGet(const Target& t) {
        for (const StaticFile& f : ScreenFiles())
            if (t.path == f.path) return Send(http::status::ok, f.body, f.type);
        if (t.path == routes::kScreenJson) return Send(http::status::ok, c_.live.Body(), kJsonType);
        if (t.path == routes::kEvents) return OpenLivePage();
        const std::string board = routes::kBoardPrefix;
        if (t.path.rfind(board, 0) == 0 && t.path.size() > board.size()) {
            std::string chipId = t.path.substr(board.size());
            const bool desk = !c_.deskSecret.empty();
            return AwaitPage(
                kBoardLane, [chipId, desk](ReadStore& s) { return BoardPage(s, chipId, desk); },
                kPageCsp);
        }
        if (t.path == routes::kReport) return AskReport(t.query);
        Send(http::status::not_found, kNotFound);
    }

    void RouteOtherMethod(const std::string& path) {
        for (const StaticFile& f : ScreenFiles())
            if (path == f.path) return WrongMethod(kGetOnly);
        if (path == routes::kScreenJson || path == routes::kEvents || path == routes::kReport ||
            path.rfind(routes::kBoardPrefix, 0) == 0)
            return WrongMethod(kGetOnly);
        Send(http::status::not_found, kNotFound);
    }

    void WrongMethod(const char* allowed) {
        answer_ = MakeAnswer(http::status::method_not_allowed, version_, kWrongMethod);
        answer_.set(http::field::allow, allowed);
        Write();
    }

    // Written on the pool, off this thread; the screen shows the step once its worker reads
    // the alarms back.
    void TakeAlarmStep(const Request& req, const std::string& id, AlarmStep step) {
        if (req.find(routes::kClearHeader) == req.end())
            return Send(http::status::forbidden,
                        std::string(kNeedClearHeader) + routes::kClearHeader + kNeedClearHeaderEnd);
        // With a desk secret, only the desk acknowledges or clears.
        if (!c_.deskSecret.empty() && !HasDeskSecret(req))
            return Send(http::status::forbidden, kNeedDeskSecret);
        Target form;
        if (!DecodeTarget(kFormLead + req.body(), form))
            return Send(http::status::bad_request, kBadAlarmForm);
        AlarmNote note{form.query[routes::kAlarmBy], form.query[routes::kAlarmNote], ""};
        std::string wrong = AlarmNoteProblem(note);
        if (!wrong.empty()) return Send(http::status::bad_request, wrong + "\n");
        if (id.size() > kMaxIdDigits) return Send(http::status::not_found, kNoAlarm);
        long long alarm = std::stoll(id);
        AwaitJob(
            kAlarmLane,
            [db = c_.db, alarm, step, note] { return StepAlarm(db, alarm, step, note); }, kPageCsp);
    }

    bool HasDeskSecret(const Request& req) const {
        auto given = req.find(routes::kDeskSecretHeader);
        return given != req.end() &&
               SameDeskSecret(std::string_view(given->value().data(), given->value().size()),
                              c_.deskSecret);
    }

    // Refused, and nothing written, without the secret; the write runs on the page pool.
    void Dispose(const Request& req) {
        if (!HasDeskSecret(req)) return Send(http::status::forbidden, kNeedDeskSecret);
        DispositionAsked asked;
        if (!ReadDispositionForm(req.body(), asked))
            return Send(http::status::bad_request, kBadDispositionForm);
        AwaitJob(
            kDeskLane, [asked, db = c_.db] { return BuildDisposition(asked, db); }, kPageCsp);
    }

    void OpenLivePage() {
        if (head_) return Send(http::status::ok, "", kEventType);
        if (c_.hub.Full()) return Send(http::status::service_unavailable, kTooManyClients);
        c_.hub.Admit(stream_.release_socket(), version_);
    }

    void AskReport(const std::map<std::string, std::string>& query) {
        bool html = false;
        try {
            html = std::string(CheckReportQuery(query).format->contentType) == kHtmlType;
        } catch (const BadRequest& e) {
            return Send(http::status::bad_request, std::string(e.what()) + "\n");
        }
        std::string today = c_.worker.Today(), database = c_.database;
        AwaitPage(
            kReportLane,
            [query, today, database](ReadStore& s) {
                return ReportPage(s, query, today, database);
            },
            html ? kReportCsp : kPageCsp);
    }

    // Builds the page on the pool; answers it, or 503 when the pool is full or the page is not
    // built within pageWait (it is then not built at all when it had not started).
    void AwaitPage(const char* kind, std::function<Page(ReadStore&)> job, const char* csp) {
        AwaitJob(
            kind, [job = std::move(job), db = c_.db] { return BuildPage(job, db); }, csp);
    }

    // As AwaitPage, for any job that ends with an answer.
    void AwaitJob(const char* kind, std::function<Built()> job, const char* csp) {
        auto abandoned = std::make_shared<std::atomic<bool>>(false);
        std::weak_ptr<Session> weak = shared_from_this();
        const uint64_t page = ++pages_;
        auto run = [weak, abandoned, page, job = std::move(job), &io = c_.io] {
            if (*abandoned) return;
            auto built = std::make_shared<Built>(job());
            asio::post(io, [weak, built, page] {
                if (auto self = weak.lock()) self->PageBuilt(page, std::move(*built));
            });
        };
        if (!c_.pages.Submit(Lane(kind), std::move(run)))
            return Send(http::status::service_unavailable, kBusy);
        awaiting_ = true;
        pageCsp_ = csp;
        pageTimer_.expires_after(c_.limits.pageWait);
        pageTimer_.async_wait([self = shared_from_this(), abandoned](error_code ec) {
            if (ec || !self->awaiting_) return;
            *abandoned = true;
            self->awaiting_ = false;
            self->Send(http::status::service_unavailable, kBusy);
        });
    }

    // `page`: the number of the request it was built for; one answered 503 meanwhile is past.
    void PageBuilt(uint64_t page, Built built) {
        if (!awaiting_ || page != pages_) return;
        awaiting_ = false;
        pageTimer_.cancel();
        Send(built.status, std::move(built.body), built.type.c_str(), pageCsp_);
    }

    std::string Lane(const char* kind) {
        error_code ec;
        auto remote = stream_.socket().remote_endpoint(ec);
        return (ec ? std::string() : remote.address().to_string()) + kind;
    }

    void Send(http::status status, std::string body, const char* type = kTextType,
              const char* csp = kPageCsp) {
        answer_ = MakeAnswer(status, version_, std::move(body), type, csp);
        Write();
    }

    void Write() {
        answer_.keep_alive(keepAlive_);
        if (head_) {
            const size_t length = answer_.body().size();
            answer_.body().clear();
            if (length > 0) answer_.content_length(length);
        }
        stream_.expires_after(c_.limits.write);
        http::async_write(stream_, answer_, [self = shared_from_this()](error_code ec, size_t) {
            if (ec) return self->Close();
            if (!self->keepAlive_) return self->Linger();
            self->AwaitRequest();
        });
    }

    // An answer after which the connection closes: 4xx for what could not be read.
    void Refuse(http::status status, const char* body) {
        keepAlive_ = false;
        head_ = false;
        Send(status, body);
    }

    // Ends sending, then reads and drops what the client still sends for a moment, so that its
    // last answer is not lost to a reset.
    void Linger() {
        error_code ignored;
        stream_.socket().shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
        stream_.expires_after(c_.limits.lingerAfterError);
        DrainSome();
    }

    void DrainSome() {
        stream_.async_read_some(asio::buffer(drain_),
                                [self = shared_from_this()](error_code ec, size_t) {
                                    if (ec) return self->Close();
                                    self->DrainSome();
                                });
    }

    void Close() {
        error_code ignored;
        stream_.socket().close(ignored);
    }

    beast::tcp_stream stream_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
    Answer answer_;
    asio::steady_timer pageTimer_;
    ServeContext& c_;
    unsigned version_ = 11;
    unsigned answered_ = 0;
    bool keepAlive_ = false;
    bool head_ = false;
    bool awaiting_ = false;
    uint64_t pages_ = 0;  // pages asked for on this connection
    const char* pageCsp_ = kPageCsp;
    std::array<char, kLingerRead> drain_{};
};

}  // namespace

void StartHttpSession(asio::ip::tcp::socket socket, ServeContext& context) {
    std::make_shared<Session>(std::move(socket), context)->AwaitRequest();
}

}  // namespace yield
