// The one thread that reads the database for the server: the pages asked for, and the screen
// rebuilt on each change with its alarms raised. Each piece of work opens the store afresh and
// closes it when done, so that no read snapshot outlives the work it was taken for, and a page is
// built whole before any HTTP thread sends it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "changeSource.h"
#include "liveState.h"
#include "pages.h"
#include "server.h"

namespace yield {

class DbWorker {
public:
    // How often the change source is asked.
    static constexpr std::chrono::milliseconds kPollEvery{500};
    // Pages waiting for the worker; more are refused.
    static constexpr size_t kMaxQueuedJobs = 16;

    // Throws StoreError when the database cannot be read.
    DbWorker(const ServeOptions& o, Live& live);
    void Start();
    void Stop();  // after the work in hand; joins the thread
    // Queues `job`, run with a store of its own; an invalid future when the queue is full.
    std::future<Page> Submit(std::function<Page(ReadStore&)> job);
    // The day the screen counts.
    std::string Today() const;

private:
    void Loop();
    void Poll();
    void Refresh();

    const ServeOptions& o_;
    Live& live_;
    std::unique_ptr<ChangeSource> changes_;
    std::vector<std::string> alertWords_;
    std::string version_;
    std::string lastFailure_;
    std::mutex m_;
    std::condition_variable cv_;
    std::deque<std::packaged_task<Page()>> jobs_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace yield
