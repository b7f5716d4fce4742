// The store once for every engine, its jobs each in a file of its own: the schema
// (storeMigration.cpp), the ingest side (storeIngest.cpp) and the reading side
// (storeReading.cpp), all over one connection.
#include "store/sqlConnection.h"
#include "store/storeAlarms.h"
#include "store/storeCheck.h"
#include "store/storeDispositions.h"
#include "store/storeIngest.h"
#include "store/storeMigration.h"
#include "store/storeReading.h"

namespace yield {
namespace {

class SqlStore : public RunStore {
public:
    SqlStore(std::unique_ptr<SqlConnection> conn, SchemaUse use)
        : conn_(std::move(conn)),
          ingest_(*conn_, pathCheck_),
          reading_(*conn_),
          desk_(*conn_),
          alarms_(*conn_) {
        MigrateSchema(*conn_, use);
    }

    void Begin() override {
        ingest_.StartBatch();
        conn_->Begin();
    }
    void Commit() override {
        ingest_.Settle();
        conn_->Commit();
    }
    void Rollback() override {
        ingest_.StartBatch();
        conn_->Rollback();
    }
    void AnnounceChange(long long runsStored) override { ingest_.AnnounceChange(runsStored); }
    bool KnownUnchanged(const SourceFile& file) override { return ingest_.KnownUnchanged(file); }
    PutOutcome PutRun(const RunRecord& run, const SourceFile& file) override {
        return ingest_.PutRun(run, file);
    }
    void MovePaths(const std::string& from, const std::string& to) override {
        ingest_.MovePaths(from, to);
    }
    void PutProblem(const SourceFile& file, const std::string& reason, bool unread) override {
        ingest_.PutProblem(file, reason, unread);
    }

    void ForEachRun(const RunFilter& filter, const RunSink& take) override {
        reading_.ForEachRun(filter, take);
    }
    void ForEachVoltReading(const RunFilter& filter, const ReadingSink& take) override {
        reading_.ForEachVoltReading(filter, take);
    }
    void ForEachNotableRun(const RunFilter& filter, const RunSink& take) override {
        reading_.ForEachNotableRun(filter, take);
    }
    bool KeepsTallies() override { return true; }
    void ForEachPortTally(const RunFilter& filter, const PortTallySink& take) override {
        reading_.ForEachPortTally(filter, take);
    }
    long long BoardsTestingPort(const RunFilter& filter, const std::string& station,
                                const std::string& port) override {
        return reading_.BoardsTestingPort(filter, station, port);
    }
    void ForEachRunTally(const RunFilter& filter, const RunTallySink& take) override {
        reading_.ForEachRunTally(filter, take);
    }
    void ForEachBoard(const RunFilter& filter, const BoardSink& take) override {
        reading_.ForEachBoard(filter, take);
    }
    void ForEachPlainBoards(const RunFilter& filter, const PlainBoardsSink& take) override {
        reading_.ForEachPlainBoards(filter, take);
    }
    void ForEachNotableBoard(const RunFilter& filter, const BoardSink& take) override {
        reading_.ForEachNotableBoard(filter, take);
    }
    TallyCheckResult CheckTallies() override { return yield::CheckTallies(*conn_); }
    std::vector<long long> RunIds(const RunFilter& filter) override {
        return reading_.RunIds(filter);
    }
    std::vector<long long> NewestRunIds(long long n) override { return reading_.NewestRunIds(n); }
    std::vector<RunSummary> NewestRuns(long long n) override { return reading_.NewestRuns(n); }
    long long CountRunsWithoutDay(const RunFilter& filter) override {
        return reading_.CountRunsWithoutDay(filter);
    }
    std::vector<long long> RunIdsOfChip(const std::string& chipId) override {
        return reading_.RunIdsOfChip(chipId);
    }
    std::vector<std::string> ChipIdsLike(const std::string& chipId) override {
        return reading_.ChipIdsLike(chipId);
    }
    RunRecord LoadRun(long long id) override { return reading_.LoadRun(id); }
    void ForEachFailing(const std::vector<long long>& ids, const FailingSink& take) override {
        reading_.ForEachFailing(ids, take);
    }
    std::vector<SourceRow> SourcesOf(long long runId) override { return reading_.SourcesOf(runId); }
    std::vector<SourceRow> ProblemFiles() override { return reading_.ProblemFiles(); }
    std::vector<StationUpload> StationUploads(const std::string& sinceDay) override {
        return reading_.StationUploads(sinceDay);
    }
    std::optional<Disposition> Dispose(const Disposition& asked) override {
        return desk_.Dispose(asked);
    }
    std::vector<Disposition> DispositionsOf(const std::string& chipId) override {
        return desk_.DispositionsOf(chipId);
    }
    void ForEachLatestDisposition(const DispositionSink& take) override {
        desk_.ForEachLatestDisposition(take);
    }
    std::vector<AlarmRow> AlarmHistory(long long n) override { return alarms_.History(n); }

    long long RaiseAlarm(const AlarmRow& a) override { return alarms_.Raise(a); }
    void EndAlarm(long long id, const std::string& at) override { alarms_.End(id, at); }
    AlarmStepOutcome TakeAlarmStep(long long id, AlarmStep step, const AlarmNote& n) override {
        return alarms_.TakeStep(id, step, n);
    }
    std::vector<AlarmRow> LiveAlarms() override { return alarms_.Live(); }
    std::string AlarmsVersion() override { return alarms_.Version(); }
    StoredChoices Choices() override { return reading_.Choices(); }
    std::string ServerName() override { return conn_->ServerName(); }

private:
    std::unique_ptr<SqlConnection> conn_;
    SqlIngest ingest_;
    SqlReading reading_;
    SqlDispositions desk_;
    SqlAlarms alarms_;
};

}  // namespace

std::unique_ptr<RunStore> OpenSqlStore(std::unique_ptr<SqlConnection> conn, SchemaUse use) {
    return std::make_unique<SqlStore>(std::move(conn), use);
}

}  // namespace yield
