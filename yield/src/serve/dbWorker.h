// The thread that keeps the screen: it asks the change watcher every half second, rebuilds the
// screen's JSON once per change and raises the alarms, whose alerts it runs and reaps. The alarms
// are written through a store it keeps open; it reads their book back whenever someone (a page,
// the command line) acknowledged or cleared one, and raises nothing before it has read it. Each
// rebuild opens the store afresh and closes it when done, so that no read snapshot outlives it.
// The pages asked for are built elsewhere (PagePool), so the refresh never waits behind them.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "serve/alertCommand.h"
#include "serve/liveState.h"
#include "serve/serveOptions.h"
#include "store/changeWatcher.h"
#include "store/store.h"

namespace yield {

class DbWorker {
public:
    // How often the change watcher is asked.
    static constexpr std::chrono::milliseconds kPollEvery{500};

    // A database that cannot be read yet is said once and looked for at every poll; the screen
    // says it waits meanwhile.
    DbWorker(const ServeOptions& o, Live& live);
    void Start();
    // Asks the thread to end and waits for it until `deadline`. True when it ended (and was
    // joined); false when it is still in a database call, and is left to finish it: this object
    // must then outlive the process's work.
    bool Stop(std::chrono::steady_clock::time_point deadline);
    // The day the screen counts.
    std::string Today() const;

private:
    void OpenDatabase();  // throws StoreError
    void Report(const std::string& failure);
    void Loop();
    void Poll();
    void Refresh();
    void SyncAlarms();
    void ApplyConditions();
    void PublishAlarms();
    void DropAlarmStore(const std::exception& e);

    const ServeOptions& o_;
    Live& live_;
    std::unique_ptr<ChangeWatcher> changes_;
    AlertQueue alerts_;
    AlarmBook book_;
    std::unique_ptr<RunStore> alarmStore_;  // null until opened, and after it failed
    std::string alarmsVersion_;             // AlarmsVersion when the book was last read
    bool bookRead_ = false;
    std::vector<AlarmCondition> conditions_;  // the conditions of the last refresh
    bool conditionsApplied_ = true;
    std::string lastAlarmFailure_;
    std::string version_;
    std::string lastFailure_;
    std::mutex m_;
    std::condition_variable cv_;
    bool stopping_ = false;
    bool ended_ = false;
    std::thread thread_;
};

}  // namespace yield
