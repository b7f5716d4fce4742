// The live pages (/events, Server-Sent Events) on the server's I/O thread. Each page is a socket
// and a queue of at most one event being written and one waiting: a newer screen replaces the
// waiting one, since a page needs only what is current. A page whose write is not done within
// the write deadline (it stopped reading, or reads too slowly) is dropped, which frees its slot;
// so is a page that closed its side. The screen's text is made once per change and shared.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>

#include "serve/liveState.h"
#include "serve/serveLimits.h"

namespace yield {

class LivePage;

class LiveHub {
public:
    LiveHub(boost::asio::io_context& io, Live& live, const ServeLimits& limits);
    // Follows the changes of `live` and sends the keep-alive comments; on the I/O thread.
    void Start();
    // Whether another page would be one too many (kMaxLivePages), or the hub stopped.
    bool Full() const { return stopped_ || pages_.size() >= kMaxLivePages; }
    // Takes `socket` as a live page for a client of HTTP/`version`: its head, the retry time and
    // the current screen are sent at once. Only when not Full().
    void Admit(boost::asio::ip::tcp::socket socket, unsigned version);
    // Closes every page and sends no more.
    void Stop();
    size_t Pages() const { return pages_.size(); }

    // For LivePage: the page ended.
    void Remove(const std::shared_ptr<LivePage>& page);
    const ServeLimits& Limits() const { return limits_; }

private:
    void Broadcast();
    void Comment();
    std::shared_ptr<const std::string> Screen();

    boost::asio::io_context& io_;
    Live& live_;
    const ServeLimits& limits_;
    boost::asio::steady_timer commentTimer_;
    std::unordered_set<std::shared_ptr<LivePage>> pages_;
    // The live state's generation plus one, so that a page's 0 means no screen yet.
    uint64_t generation_ = 0;
    std::shared_ptr<const std::string> screen_;  // the event of generation_
    bool stopped_ = false;
};

}  // namespace yield
