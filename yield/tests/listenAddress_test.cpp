// The listen address and the Host guard.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <thread>

#include "parse/calendar.h"
#include "serve/alarmRule.h"
#include "serve/alertCommand.h"
#include "serve/liveState.h"
#include "serve/server.h"
#include "testSupport.h"

using namespace yield;
using yieldtest::TempDir;

TEST(ServeListen, AddressAndPort) {
    std::string host;
    int port = -1;
    EXPECT_TRUE(SplitListen("127.0.0.1:8047", host, port));
    EXPECT_EQ(host, "127.0.0.1");
    EXPECT_EQ(port, 8047);
    EXPECT_TRUE(SplitListen("[::1]:0", host, port));
    EXPECT_EQ(host, "::1");
    EXPECT_EQ(port, 0);
    for (const char* bad : {"127.0.0.1", ":80", "host:", "host:65536", "host:8o", "[::1:80"})
        EXPECT_FALSE(SplitListen(bad, host, port)) << bad;
}

TEST(ServeListen, OnLoopbackOnlyLoopbackNamesReachTheScreen) {
    EXPECT_TRUE(HostAllowed("127.0.0.1", 8047, "127.0.0.1:8047"));
    EXPECT_TRUE(HostAllowed("127.0.0.1", 8047, "localhost:8047"));
    EXPECT_TRUE(HostAllowed("::1", 8047, "[::1]:8047"));
    EXPECT_TRUE(HostAllowed("127.0.0.1", 80, "LocalHost"));
    EXPECT_FALSE(HostAllowed("127.0.0.1", 8047, "attacker.example:8047"));
    EXPECT_FALSE(HostAllowed("127.0.0.1", 8047, "127.0.0.1:8048"));
    EXPECT_FALSE(HostAllowed("127.0.0.1", 8047, "localhost"));
    EXPECT_FALSE(HostAllowed("127.0.0.1", 8047, "localhost:8047x"));
    EXPECT_FALSE(HostAllowed("127.0.0.1", 8047, "[::1:8047"));
    EXPECT_FALSE(HostAllowed("127.0.0.1", 8047, ""));
    EXPECT_TRUE(HostAllowed("0.0.0.0", 8047, "line-screen.factory:8047"));
    EXPECT_TRUE(HostAllowed("::", 8047, "line-screen.factory:8047"));
    // Every loopback address is guarded, however it was given to --listen.
    for (const char* bound : {"127.0.0.2", "127.255.255.254", "::ffff:127.0.0.1", "::1"}) {
        EXPECT_TRUE(IsLoopbackAddress(bound)) << bound;
        EXPECT_FALSE(HostAllowed(bound, 8047, "attacker.example:8047")) << bound;
    }
    EXPECT_FALSE(IsLoopbackAddress("::ffff:10.0.0.1"));
    EXPECT_FALSE(IsLoopbackAddress("128.0.0.1"));
}
