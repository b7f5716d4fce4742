// The live pages' hub on an I/O context the test drives step by step, its pages real loopback
// sockets: which screens each page is sent when changes and admissions interleave.
#include "serve/liveHub.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

using namespace yield;
namespace asio = boost::asio;
using asio::ip::tcp;

namespace {

constexpr auto kTurn = std::chrono::milliseconds(200);
constexpr char kScreenEvent[] = "event: ";
constexpr char kNoData[] = "\"data\":null";

class LiveHubTest : public ::testing::Test {
protected:
    LiveHubTest() : acceptor_(io_, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0)) {
        hub_.Start();
    }
    ~LiveHubTest() override { hub_.Stop(); }

    // A client's socket, and its server side admitted as a live page.
    tcp::socket Open() {
        tcp::socket client(io_);
        client.connect(acceptor_.local_endpoint());
        hub_.Admit(acceptor_.accept(), 1);
        return client;
    }

    // Everything the server has sent to `client` once the context ran its work for a while.
    std::string Drain(tcp::socket& client) {
        io_.restart();
        io_.run_for(kTurn);
        std::string got;
        boost::system::error_code ec;
        while (client.available(ec) > 0 && !ec) {
            std::string part(client.available(ec), '\0');
            got.append(part, 0, client.read_some(asio::buffer(part), ec));
        }
        return got;
    }

    static size_t Events(const std::string& text) {
        size_t n = 0;
        for (size_t at = text.find(kScreenEvent); at != std::string::npos;
             at = text.find(kScreenEvent, at + 1))
            ++n;
        return n;
    }

    asio::io_context io_;
    tcp::acceptor acceptor_;
    Live live_;
    ServeLimits limits_;
    LiveHub hub_{io_, live_, limits_};
};

TEST_F(LiveHubTest, APageAdmittedBetweenAChangeAndItsBroadcastLeavesTheOthersTheirNewScreen) {
    tcp::socket first = Open();
    std::string before = Drain(first);
    ASSERT_NE(before.find(kNoData), std::string::npos) << before;

    live_.Publish({{"summary", {{"runs", 7}}}});  // its broadcast waits on the context
    tcp::socket second = Open();                // and this page is sent the change first

    std::string toFirst = Drain(first);
    std::string toSecond = Drain(second);
    EXPECT_NE(toFirst.find("\"runs\":7"), std::string::npos) << toFirst;
    EXPECT_EQ(Events(toFirst), 1u) << toFirst;
    EXPECT_NE(toSecond.find("\"runs\":7"), std::string::npos) << toSecond;
    EXPECT_EQ(Events(toSecond), 1u) << "a page is not sent a screen it has: " << toSecond;
}

TEST_F(LiveHubTest, ChangesFasterThanAPageIsWrittenReachItAsTheNewestScreen) {
    tcp::socket page = Open();
    for (int runs = 1; runs <= 5; ++runs) live_.Publish({{"summary", {{"runs", runs}}}});
    std::string got = Drain(page);
    EXPECT_NE(got.find("\"runs\":5"), std::string::npos) << got;
    EXPECT_LE(Events(got), 3u) << "the head's screen, at most one being written, the newest";
}

}  // namespace
