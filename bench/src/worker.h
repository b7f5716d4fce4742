// A background thread that can be told to stop: the loop polls `StopFd()` beside its own
// descriptors and returns when it becomes readable.
#pragma once

#include <functional>
#include <thread>

namespace bench {

class Worker {
public:
    Worker();
    ~Worker();
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    void Start(std::function<void()> loop);
    // Signals the stop descriptor and joins the thread; harmless when not started.
    void Stop();
    int StopFd() const { return m_stopFd; }

private:
    int m_stopFd = -1;
    std::thread m_thread;
};

}  // namespace bench
