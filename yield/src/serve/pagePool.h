// The threads that build the slow pages (/board, /report) beside the server's one I/O thread.
// Jobs wait in lanes, one per client and kind of page, and the threads take from the lanes in
// turn: a client that asks for many slow pages waits behind its own, not the others' requests.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace yield {

class PagePool {
public:
    using Job = std::function<void()>;

    // Starts `threads` threads; at most `maxQueued` jobs wait, at most `maxPerLane` in one lane.
    PagePool(size_t threads, size_t maxQueued, size_t maxPerLane);
    // Drops the waiting jobs and joins the threads, when Stop did not; only for a pool whose
    // threads are not held (e.g. one that was never given a job).
    ~PagePool();
    PagePool(const PagePool&) = delete;
    PagePool& operator=(const PagePool&) = delete;

    // Queues `job` in `lane`; false (and `job` dropped) when the pool or the lane is full or the
    // pool is stopping.
    bool Submit(const std::string& lane, Job job);
    // Drops the waiting jobs and waits until `deadline` for the running ones. True when every
    // thread ended (and was joined); false when one is still in its job, which is then left to
    // run on: whatever it uses must then outlive this process's work.
    bool Stop(std::chrono::steady_clock::time_point deadline);

private:
    void Run();
    bool Take(Job& job);

    const size_t maxQueued_, maxPerLane_;
    std::mutex m_;
    std::condition_variable wake_, ended_;
    std::map<std::string, std::deque<Job>> lanes_;
    std::deque<std::string> turn_;  // the lanes with jobs, in the order they are served
    size_t queued_ = 0;
    size_t running_ = 0;  // threads not yet ended
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace yield
