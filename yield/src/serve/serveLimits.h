// What the server bounds: deadlines per connection, sizes of requests and queues, how many live
// pages and connections it holds, how many page builders run. One place, so that the README and
// the tests name the same figures.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <string>

namespace yield {

// A request's header, its body (chunked ones included, once decoded) and what a connection may
// hold unread of pipelined requests.
constexpr size_t kHeaderLimit = size_t{8} * 1024;
// The body: a disposition's form, its note percent-encoded.
constexpr size_t kBodyLimit = size_t{4} * 1024;
constexpr size_t kReadBufferLimit = size_t{16} * 1024;
// Requests answered on one connection before it is closed.
constexpr unsigned kKeepAliveRequests = 100;
// Connections being read or answered at once, live pages aside; more are closed at once.
constexpr size_t kMaxConnections = 4096;
// Live pages at once; a page holds no thread, only its socket and at most two queued events.
constexpr size_t kMaxLivePages = 2000;
// The kernel's send buffer of a live page: what a page that stops reading can hold up.
constexpr int kLiveSendBuffer = 64 * 1024;
// The threads that build /board and /report pages, and the pages waiting for one: in all, and
// from one client for one kind of page.
constexpr size_t kPageThreads = 4;
constexpr size_t kMaxQueuedPages = 64;
constexpr size_t kMaxQueuedPerLane = 16;
// Descriptors the server asks for: its connections, its live pages and some to spare.
constexpr size_t kWantedDescriptors = kMaxConnections + kMaxLivePages + 256;

struct ServeLimits {
    using ms = std::chrono::milliseconds;
    ms idle{5000};              // keep-alive: from an answer to the next request's first byte
    ms request{10000};          // a whole request, header and body, from its first byte
    ms write{10000};            // one answer or one live event, written out
    ms pageWait{15000};         // a request waiting for its page before it is answered 503
    ms liveComment{15000};      // a live page's keep-alive comment, so that a vanished one shows
    ms stopGrace{2000};         // the page builders and the reader after SIGINT or SIGTERM
    ms lingerAfterError{1000};  // reading what a refused client still sends, so it gets the answer
};

// Shortens the idle, request, write and page deadlines to this many milliseconds; for the tests,
// which wait for them. Not an option of the command.
constexpr char kDeadlineVariable[] = "DEVUZE_YIELD_SERVE_DEADLINE_MS";

inline ServeLimits LimitsOfEnvironment() {
    ServeLimits l;
    const char* text = std::getenv(kDeadlineVariable);
    if (text == nullptr) return l;
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (*text == '\0' || *end != '\0' || v <= 0 || v > l.request.count()) return l;
    l.idle = l.request = l.write = l.pageWait = ServeLimits::ms(v);
    return l;
}

}  // namespace yield
