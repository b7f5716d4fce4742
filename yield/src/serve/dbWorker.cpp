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
constexpr char kAlarmsFailed[] = "devuzeV7-yield serve: alarms not kept: %s\n";
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

// The alarms' writer upgrades an older schema before the screen reads it; where it cannot write
// (a read-only file), the screen is shown without keeping alarms.
void DbWorker::OpenDatabase() {
    try {
        alarmStore_ = OpenUpgradeStore(o_.db);
    } catch (const StoreError&) {
        alarmStore_.reset();
    }
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
    SyncAlarms();
    if (!conditionsApplied_) ApplyConditions();
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
    conditions_ = AlarmConditions(m, o_.rule);
    ApplyConditions();
}

void DbWorker::SyncAlarms() {
    try {
        if (!alarmStore_) alarmStore_ = OpenUpgradeStore(o_.db);
        std::string version = alarmStore_->AlarmsVersion();
        if (bookRead_ && version == alarmsVersion_) return;
        book_.Load(alarmStore_->LiveAlarms());
        alarmsVersion_ = version;
        bookRead_ = true;
        PublishAlarms();
        lastAlarmFailure_.clear();
    } catch (const std::exception& e) {
        DropAlarmStore(e);
    }
}

// Raises only from a book read from the database: raising before would raise again what a run
// before this one raised.
void DbWorker::ApplyConditions() {
    conditionsApplied_ = false;
    if (!bookRead_ || !alarmStore_) return;
    try {
        for (const Alarm& a : book_.Update(conditions_, UtcStamp(std::time(nullptr)), *alarmStore_))
            alerts_.Raise(a);
        conditionsApplied_ = true;
        PublishAlarms();
    } catch (const std::exception& e) {
        DropAlarmStore(e);
    }
}

void DbWorker::PublishAlarms() {
    live_.PublishAlarms(book_.Shown(), alarmStore_->AlarmHistory(kScreenAlarmHistoryRows));
}

// Opened again at the next poll, and the book read again from what was stored.
void DbWorker::DropAlarmStore(const std::exception& e) {
    alarmStore_.reset();
    bookRead_ = false;
    if (e.what() == lastAlarmFailure_) return;
    lastAlarmFailure_ = e.what();
    std::fprintf(stderr, kAlarmsFailed, PrintableText(lastAlarmFailure_).c_str());
}

}  // namespace yield
