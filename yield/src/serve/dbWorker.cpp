#include "serve/dbWorker.h"

#include <cstdio>
#include <ctime>

#include "report/escape.h"
#include "report/readReport.h"
#include "report/reportSelection.h"
#include "report/screenJson.h"
#include "store/openStore.h"

namespace yield {
namespace {

constexpr char kReadFailed[] = "devuzeV7-yield serve: %s\n";
constexpr char kWaiting[] = "waiting for the database: ";
constexpr char kWaitingTail[] = " (tried again every half second)";
constexpr char kFound[] = "devuzeV7-yield serve: the database can be read now\n";

}  // namespace

DbWorker::DbWorker(const ServeOptions& o, Live& live)
    : o_(o), live_(live), alerts_(CommandWords(o.onAlert)) {
    // A line set up in any order: the page is served before the first ingest made the database
    // (or before the server has it), saying it waits; the first poll that can read it fills it.
    try {
        OpenDatabase();
    } catch (const StoreError& e) {
        Report(kWaiting + std::string(e.what()) + kWaitingTail);
    }
}

void DbWorker::OpenDatabase() {
    OpenReadStore(o_.db);
    changes_ = OpenChangeWatcher(o_.db);
}

// Said once, not at every poll while it lasts.
void DbWorker::Report(const std::string& failure) {
    if (failure == lastFailure_) return;
    lastFailure_ = failure;
    live_.Publish(UnreadableJson(lastFailure_));
    std::fprintf(stderr, kReadFailed, PrintableText(lastFailure_).c_str());
}

void DbWorker::Start() {
    thread_ = std::thread([this] { Loop(); });
}

bool DbWorker::Stop(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(m_);
    stopping_ = true;
    cv_.notify_all();
    if (!thread_.joinable()) return true;
    const bool ended = cv_.wait_until(lock, deadline, [this] { return ended_; });
    lock.unlock();
    ended ? thread_.join() : thread_.detach();
    return ended;
}

std::string DbWorker::Today() const {
    return o_.day.empty() ? LocalDay(std::time(nullptr)) : o_.day;
}

void DbWorker::Loop() {
    std::unique_lock<std::mutex> lock(m_);
    while (!stopping_) {
        lock.unlock();
        Poll();
        lock.lock();
        cv_.wait_for(lock, kPollEvery, [this] { return stopping_; });
    }
    ended_ = true;
    cv_.notify_all();
}

void DbWorker::Poll() {
    alerts_.Reap();
    if (!changes_) {
        try {
            OpenDatabase();
        } catch (const StoreError&) {
            return;  // still waiting, as said
        }
        std::fputs(kFound, stderr);
    }
    try {
        std::string version = changes_->Version() + Today();
        if (version == version_) return;
        Refresh();
        version_ = version;
        lastFailure_.clear();
    } catch (const std::exception& e) {
        Report(e.what());
    }
}

void DbWorker::Refresh() {
    ReportModel m =
        ReadReport(*OpenReadStore(o_.db), DayFilter(Today()), ScreenReading(o_.rule.boards));
    live_.Publish(ScreenJson(m));
    std::vector<AlarmCondition> now = AlarmConditions(m, o_.rule);
    for (const Alarm& a : live_.Raise(now, UtcStamp(std::time(nullptr)))) alerts_.Raise(a);
}

}  // namespace yield
