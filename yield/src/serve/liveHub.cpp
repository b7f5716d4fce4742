#include "serve/liveHub.h"

#include <array>
#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>
#include <deque>

#include "serve/httpMessage.h"
#include "serve/routes.h"

namespace yield {

namespace asio = boost::asio;
using boost::system::error_code;

namespace {

constexpr char kEventRetry[] = "retry: 2000\n\n";
constexpr char kEventAlive[] = ": alive\n\n";
constexpr char kEventName[] = "event: ";
constexpr char kEventData[] = "\ndata: ";
constexpr char kEventEnd[] = "\n\n";
constexpr size_t kScratch = 512;

// One event: the screen's whole JSON, so that a page needs no request of its own per change.
std::string DashboardEvent(const std::string& body) {
    return kEventName + std::string(routes::kScreenEvent) + kEventData + body + kEventEnd;
}

using Text = std::shared_ptr<const std::string>;

}  // namespace

class LivePage : public std::enable_shared_from_this<LivePage> {
public:
    LivePage(asio::ip::tcp::socket socket, LiveHub& hub)
        : socket_(std::move(socket)), deadline_(socket_.get_executor()), hub_(hub) {}

    void Start(Text head, Text screen, uint64_t generation) {
        error_code ignored;
        socket_.set_option(asio::socket_base::send_buffer_size(kLiveSendBuffer), ignored);
        queue_.push_back({std::move(head), false});
        OfferScreen(std::move(screen), generation);
        ReadUntilClosed();
    }

    // Queues the screen of `generation` unless this page already has it or a newer one; it
    // replaces a screen still waiting.
    void OfferScreen(Text text, uint64_t generation) {
        if (closed_ || generation <= screenGeneration_) return;
        screenGeneration_ = generation;
        if (queue_.size() > (writing_ ? 1u : 0u) && queue_.back().screen) queue_.pop_back();
        queue_.push_back({std::move(text), true});
        WriteNext();
    }

    // A comment goes only to a page with nothing to send.
    void OfferComment(Text text) {
        if (closed_ || !queue_.empty()) return;
        queue_.push_back({std::move(text), false});
        WriteNext();
    }

    // `abort`: with a reset, so that what the page did not read is dropped at once, not held by
    // the kernel until it gives up.
    void Close(bool abort = false) {
        if (closed_) return;
        closed_ = true;
        error_code ignored;
        if (abort) socket_.set_option(asio::socket_base::linger(true, 0), ignored);
        deadline_.cancel();
        socket_.close(ignored);
        hub_.Remove(shared_from_this());
    }

private:
    struct Piece {
        Text text;
        bool screen;
    };

    void WriteNext() {
        if (writing_ || queue_.empty() || closed_) return;
        writing_ = true;
        const uint64_t write = ++writes_;
        auto self = shared_from_this();
        deadline_.expires_after(hub_.Limits().write);
        deadline_.async_wait([self, write](error_code ec) {
            if (!ec && write == self->writes_ && self->writing_) self->Close(true);
        });
        asio::async_write(socket_, asio::buffer(*queue_.front().text),
                          [self](error_code ec, size_t) { self->Written(ec); });
    }

    void Written(error_code ec) {
        writing_ = false;
        if (closed_) return;
        if (ec) return Close();
        deadline_.cancel();
        queue_.pop_front();
        WriteNext();
    }

    // What a page sends after its request is not read for anything; its end (or an error) ends
    // the page at once rather than at the next write.
    void ReadUntilClosed() {
        auto self = shared_from_this();
        socket_.async_read_some(asio::buffer(scratch_), [self](error_code ec, size_t) {
            if (self->closed_) return;
            if (ec) return self->Close();
            self->ReadUntilClosed();
        });
    }

    asio::ip::tcp::socket socket_;
    asio::steady_timer deadline_;
    LiveHub& hub_;
    std::deque<Piece> queue_;  // the front is being written while writing_
    bool writing_ = false;
    bool closed_ = false;
    uint64_t writes_ = 0;
    // Of the last screen queued; 0 before any, since a screen's generation starts at 1.
    uint64_t screenGeneration_ = 0;
    std::array<char, kScratch> scratch_{};
};

LiveHub::LiveHub(asio::io_context& io, Live& live, const ServeLimits& limits)
    : io_(io), live_(live), limits_(limits), commentTimer_(io) {}

void LiveHub::Start() {
    live_.OnChange([this] { asio::post(io_, [this] { Broadcast(); }); });
    Comment();
}

std::shared_ptr<const std::string> LiveHub::Screen() {
    Live::Shot shot = live_.Snapshot();
    if (!screen_ || shot.generation + 1 != generation_) {
        generation_ = shot.generation + 1;
        screen_ = std::make_shared<const std::string>(DashboardEvent(*shot.body));
    }
    return screen_;
}

void LiveHub::Admit(asio::ip::tcp::socket socket, unsigned version) {
    auto page = std::make_shared<LivePage>(std::move(socket), *this);
    pages_.insert(page);
    Text screen = Screen();
    page->Start(std::make_shared<const std::string>(EventStreamHead(version) + kEventRetry),
                std::move(screen), generation_);
}

// A page admitted between a change and this broadcast was sent the new screen already, which
// made it current here: every page is offered it, and those that have it skip it.
void LiveHub::Broadcast() {
    if (stopped_) return;
    Text screen = Screen();
    // An offer may end a page, which leaves the set: walk a copy.
    std::vector<std::shared_ptr<LivePage>> pages(pages_.begin(), pages_.end());
    for (const auto& p : pages) p->OfferScreen(screen, generation_);
}

void LiveHub::Comment() {
    commentTimer_.expires_after(limits_.liveComment);
    commentTimer_.async_wait([this](error_code ec) {
        if (ec || stopped_) return;
        static const Text alive = std::make_shared<const std::string>(kEventAlive);
        std::vector<std::shared_ptr<LivePage>> pages(pages_.begin(), pages_.end());
        for (const auto& p : pages) p->OfferComment(alive);
        Comment();
    });
}

void LiveHub::Remove(const std::shared_ptr<LivePage>& page) { pages_.erase(page); }

void LiveHub::Stop() {
    stopped_ = true;
    commentTimer_.cancel();
    std::vector<std::shared_ptr<LivePage>> pages(pages_.begin(), pages_.end());
    for (const auto& p : pages) p->Close();
}

}  // namespace yield
