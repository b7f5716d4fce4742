#include "serve/pagePool.h"

namespace yield {

PagePool::PagePool(size_t threads, size_t maxQueued, size_t maxPerLane)
    : maxQueued_(maxQueued), maxPerLane_(maxPerLane), running_(threads) {
    for (size_t i = 0; i < threads; ++i) threads_.emplace_back([this] { Run(); });
}

PagePool::~PagePool() {
    {
        std::lock_guard<std::mutex> lock(m_);
        stopping_ = true;
        lanes_.clear();
        turn_.clear();
        wake_.notify_all();
    }
    for (std::thread& t : threads_) t.join();
}

bool PagePool::Submit(const std::string& lane, Job job) {
    std::lock_guard<std::mutex> lock(m_);
    if (stopping_ || queued_ >= maxQueued_) return false;
    std::deque<Job>& jobs = lanes_[lane];
    if (jobs.size() >= maxPerLane_) return false;
    if (jobs.empty()) turn_.push_back(lane);
    jobs.push_back(std::move(job));
    ++queued_;
    wake_.notify_one();
    return true;
}

bool PagePool::Take(Job& job) {
    std::unique_lock<std::mutex> lock(m_);
    wake_.wait(lock, [this] { return stopping_ || !turn_.empty(); });
    if (stopping_) return false;
    std::string lane = std::move(turn_.front());
    turn_.pop_front();
    std::deque<Job>& jobs = lanes_[lane];
    job = std::move(jobs.front());
    jobs.pop_front();
    --queued_;
    if (jobs.empty()) {
        lanes_.erase(lane);
    } else {
        turn_.push_back(std::move(lane));
    }
    return true;
}

void PagePool::Run() {
    Job job;
    while (Take(job)) {
        job();
        job = nullptr;
    }
    std::lock_guard<std::mutex> lock(m_);
    --running_;
    ended_.notify_all();
}

bool PagePool::Stop(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(m_);
    stopping_ = true;
    lanes_.clear();
    turn_.clear();
    queued_ = 0;
    wake_.notify_all();
    const bool ended = ended_.wait_until(lock, deadline, [this] { return running_ == 0; });
    lock.unlock();
    for (std::thread& t : threads_) ended ? t.join() : t.detach();
    threads_.clear();
    return ended;
}

}  // namespace yield
