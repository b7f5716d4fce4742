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

}  // namespace

DbWorker::DbWorker(const ServeOptions& o, Live& live)
    : o_(o), live_(live), alerts_(CommandWords(o.onAlert)) {
    OpenReadStore(o.db);  // a database that cannot be read ends the command before it serves
    changes_ = OpenChangeWatcher(o.db);
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
        live_.Publish(UnreadableJson(lastFailure_));
        std::fprintf(stderr, kReadFailed, PrintableText(lastFailure_).c_str());
    }
}

void DbWorker::Refresh() {
    const std::string today = Today();
    std::unique_ptr<ReadStore> store = OpenReadStore(o_.db);
    ReadOptions reading = ScreenReading(o_.rule.boards);
    reading.now = std::time(nullptr);
    ReportModel m = ReadReport(*store, DayFilter(today), reading);
    std::vector<StationUpload> uploads = store->StationUploads(SeenSince(today));
    store.reset();  // no snapshot held while the screen is published
    nlohmann::json data = ScreenJson(m);
    data[kWall] = WallJson(m, o_.wall, uploads, reading.now);
    live_.Publish(std::move(data));
    std::vector<AlarmCondition> now = AlarmConditions(m, o_.rule);
    for (const Alarm& a : live_.Raise(now, UtcStamp(std::time(nullptr)))) alerts_.Raise(a);
}

}  // namespace yield
