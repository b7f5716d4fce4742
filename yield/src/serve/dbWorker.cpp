#include "dbWorker.h"

#include <cstdio>
#include <ctime>

#include "alertCommand.h"
#include "escape.h"
#include "openStore.h"
#include "reportSelection.h"

namespace yield {
namespace {

using Clock = std::chrono::steady_clock;

constexpr char kReadFailed[] = "devuzeV7-yield serve: %s\n";
constexpr char kAlertFailed[] = "devuzeV7-yield serve: the alert command could not be started\n";

}  // namespace

DbWorker::DbWorker(const ServeOptions& o, Live& live)
    : o_(o), live_(live), alertWords_(CommandWords(o.onAlert)) {
    OpenReadStore(o.db);  // a database that cannot be read ends the command before it serves
    changes_ = OpenPollingChangeSource(o.db);
}

void DbWorker::Start() {
    thread_ = std::thread([this] { Loop(); });
}

void DbWorker::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_);
        stopping_ = true;
    }
    cv_.notify_all();
    if (thread_.joinable()) thread_.join();
}

std::future<Page> DbWorker::Submit(std::function<Page(ReadStore&)> job) {
    std::lock_guard<std::mutex> lock(m_);
    if (jobs_.size() >= kMaxQueuedJobs) return {};
    jobs_.emplace_back([job = std::move(job), db = o_.db] { return job(*OpenReadStore(db)); });
    cv_.notify_all();
    return jobs_.back().get_future();
}

std::string DbWorker::Today() const {
    return o_.day.empty() ? LocalDay(std::time(nullptr)) : o_.day;
}

void DbWorker::Loop() {
    auto nextPoll = Clock::now();
    while (true) {
        std::packaged_task<Page()> job;
        {
            std::unique_lock<std::mutex> lock(m_);
            cv_.wait_until(lock, nextPoll, [&] { return stopping_ || !jobs_.empty(); });
            if (stopping_) return;
            if (!jobs_.empty()) {
                job = std::move(jobs_.front());
                jobs_.pop_front();
            }
        }
        if (job.valid()) job();
        if (Clock::now() >= nextPoll) {
            Poll();
            nextPoll = Clock::now() + kPollEvery;
        }
    }
}

void DbWorker::Poll() {
    ReapAlerts();
    try {
        std::string version = changes_->Version() + Today();
        if (version == version_) return;
        Refresh();
        version_ = version;
        lastFailure_.clear();
    } catch (const std::exception& e) {
        // Said once, not at every poll while it lasts.
        if (e.what() == lastFailure_) return;
        lastFailure_ = e.what();
        live_.Publish(Dump(UnreadableJson(lastFailure_)));
        std::fprintf(stderr, kReadFailed, PrintableText(lastFailure_).c_str());
    }
}

void DbWorker::Refresh() {
    Dashboard d = ReadDashboard(*OpenReadStore(o_.db), Today());
    live_.Publish(Dump(DashboardJson(d)));
    std::vector<AlarmCondition> now = AlarmConditions(d.model, d.tests, o_.rule);
    for (const Alarm& a : live_.Raise(now, UtcStamp(std::time(nullptr))))
        if (!alertWords_.empty() && StartAlert(alertWords_, a) < 0)
            std::fputs(kAlertFailed, stderr);
}

}  // namespace yield
