// One HTTP connection on the server's I/O thread: requests read one after the other (pipelined
// ones answered in order), each under a deadline for the whole of it, header and body, with the
// limits of serveLimits.h; the static files and the screen's JSON answered at once, the slow
// pages built on the PagePool and awaited up to ServeLimits::pageWait, a request for /events
// handed to the LiveHub.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <string>

#include "serve/liveState.h"
#include "serve/serveLimits.h"

namespace yield {

class DbWorker;
class LiveHub;
class PagePool;

// What every connection of one server shares; lives on the I/O thread.
struct ServeContext {
    boost::asio::io_context& io;
    Live& live;
    const DbWorker& worker;
    PagePool& pages;
    LiveHub& hub;
    const ServeLimits& limits;
    size_t& connections;     // being read or answered, live pages aside
    std::string db;          // where the pages open their stores
    std::string database;    // as the report names it
    std::string address;     // the address bound, numeric
    int port = 0;            // the port bound
    std::string deskSecret;  // "" for none: no disposition route
};

// Serves `socket` until it closes, its deadline passes or it turns into a live page.
void StartHttpSession(boost::asio::ip::tcp::socket socket, ServeContext& context);

}  // namespace yield
