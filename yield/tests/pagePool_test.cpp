// The page builders' pool: lanes served in turn, bounded queues, a stop that does not wait for a
// held job past its grace.
#include "serve/pagePool.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <mutex>
#include <vector>

using namespace yield;

namespace {

using Clock = std::chrono::steady_clock;

// A job that holds its thread until Release; Started() returns once a thread runs it.
struct Gate {
    std::promise<void> started, open;
    std::shared_future<void> opened = open.get_future().share();
    PagePool::Job Job() {
        return [this] {
            started.set_value();
            opened.wait();
        };
    }
    void Started() { started.get_future().wait(); }
    void Release() { open.set_value(); }
};

}  // namespace

TEST(PagePool, LanesAreServedInTurnAndQueuesAreBounded) {
    PagePool pool(1, 6, 4);
    Gate gate;
    std::mutex m;
    std::vector<std::string> order;
    std::promise<void> done;
    auto job = [&](std::string name) {
        return [&, name] {
            std::lock_guard<std::mutex> lock(m);
            order.push_back(name);
            if (order.size() == 6) done.set_value();
        };
    };
    ASSERT_TRUE(pool.Submit("a", gate.Job()));
    gate.Started();
    for (const char* name : {"a1", "a2", "a3", "a4"}) EXPECT_TRUE(pool.Submit("a", job(name)));
    EXPECT_FALSE(pool.Submit("a", job("a5")));  // the lane is full
    EXPECT_TRUE(pool.Submit("b", job("b1")));
    EXPECT_TRUE(pool.Submit("c", job("c1")));
    EXPECT_FALSE(pool.Submit("d", job("d1")));  // the pool is full
    gate.Release();
    done.get_future().wait();
    EXPECT_EQ(order, (std::vector<std::string>{"a1", "b1", "c1", "a2", "a3", "a4"}));
    EXPECT_TRUE(pool.Stop(Clock::now() + std::chrono::seconds(10)));
    EXPECT_FALSE(pool.Submit("a", job("late")));
}

TEST(PagePool, StopLeavesAHeldJobBehind) {
    // Both left allocated, and reachable: the held thread still uses them after the test.
    static auto* pool = new PagePool(2, 4, 4);
    static auto* gate = new Gate;
    ASSERT_TRUE(pool->Submit("a", gate->Job()));
    gate->Started();
    EXPECT_FALSE(pool->Stop(Clock::now() + std::chrono::milliseconds(100)));
    gate->Release();
}
